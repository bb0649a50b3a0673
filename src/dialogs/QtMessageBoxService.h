#pragma once

#include "MessageBoxService.h"

#include <memory>

class QMessageBox;

namespace kestrel::dialogs {

// Shows each request as a modal QMessageBox.
class QtMessageBoxService : public MessageBoxService {
public:
    MessageAnswer ask(QWidget* owner, const MessageBoxRequest& request) override;

    // The box as it will be shown, not yet running.
    static std::unique_ptr<QMessageBox> build(QWidget* owner, const MessageBoxRequest& request);
};

} // namespace kestrel::dialogs
