#pragma once

class QDialog;

namespace kestrel::dialogs {

// Runs a loaded dialog modally and returns its result code. Tests swap in one
// that records the dialog and answers without a modal loop.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    virtual int run(QDialog& dialog) = 0;
};

// The program's runner: QDialog::exec.
class ModalDialogRunner : public DialogRunner {
public:
    int run(QDialog& dialog) override;
};

} // namespace kestrel::dialogs
