#pragma once

// Answering stand-ins for the message boxes and the modal dialogs: they keep
// what would have been shown, in order, and never run a modal loop.

#include "dialogs/DialogRunner.h"
#include "dialogs/MessageBoxService.h"

#include <QDialog>
#include <QList>
#include <QStringList>

#include <functional>

namespace kestrel::test {

class RecordingMessageBoxService : public dialogs::MessageBoxService {
public:
    dialogs::MessageAnswer ask(QWidget*, const dialogs::MessageBoxRequest& request) override
    {
        requests.append(request);
        if (log)
            log->append(QStringLiteral("message: ") + request.text);
        if (!answers.isEmpty())
            return answers.takeFirst();
        return request.buttons == dialogs::MessageButtons::Ok ? dialogs::MessageAnswer::Ok
                                                              : request.defaultButton;
    }

    QStringList texts() const
    {
        QStringList result;
        for (const auto& request : requests)
            result.append(request.text);
        return result;
    }

    QList<dialogs::MessageBoxRequest> requests;
    QList<dialogs::MessageAnswer> answers; // taken in order; then the default button
    QStringList* log = nullptr;            // shared with other recorders, for ordering
};

class RecordingDialogRunner : public dialogs::DialogRunner {
public:
    int run(QDialog& dialog) override
    {
        shown.append(dialog.objectName());
        if (log)
            log->append(QStringLiteral("dialog: ") + dialog.objectName());
        if (inspect)
            inspect(dialog);
        return answer ? answer(dialog) : QDialog::Accepted;
    }

    QStringList shown;
    std::function<void(QDialog&)> inspect; // looks at the loaded dialog
    std::function<int(QDialog&)> answer;   // the result code; Accepted when unset
    QStringList* log = nullptr;
};

} // namespace kestrel::test
