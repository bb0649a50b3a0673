#pragma once

#include "dialogs/DialogRunner.h"
#include "dialogs/MessageBoxService.h"

#include <QString>

class QWidget;

namespace kestrel::shell {

// For runs nobody watches (the screenshot under Xvfb): each box is shown for a
// moment, written to stderr and answered with its default button.
class UnattendedMessageBoxService : public dialogs::MessageBoxService {
public:
    dialogs::MessageAnswer ask(QWidget* owner, const dialogs::MessageBoxRequest& request) override;
};

// Shows each dialog for a moment, then accepts it.
class UnattendedDialogRunner : public dialogs::DialogRunner {
public:
    int run(QDialog& dialog) override;
};

// Saves a picture of the window to file once it has settled, says where on
// stdout, then closes the window (no settings are written).
void saveScreenshotLater(QWidget& window, const QString& file);

} // namespace kestrel::shell
