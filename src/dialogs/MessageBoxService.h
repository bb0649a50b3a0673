#pragma once

#include <QString>

class QWidget;

namespace kestrel::dialogs {

enum class MessageIcon { Stop, Information, Question, Exclamation };
enum class MessageButtons { Ok, YesNo, OkCancel };
enum class MessageAnswer { Ok, Yes, No, Cancel };

struct MessageBoxRequest {
    QString text;
    MessageIcon icon = MessageIcon::Stop;
    MessageButtons buttons = MessageButtons::Ok;
    // The answer of the button that has the focus; Ok when unset.
    MessageAnswer defaultButton = MessageAnswer::Ok;
    // Empty: the platform's default title (one confirmation uses it).
    QString title;
};

// Every message box of the program goes through here, so tests can read and
// answer them without a modal loop.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual MessageAnswer ask(QWidget* owner, const MessageBoxRequest& request) = 0;

    // Stop icon, OK, title "Kestrel Mailkeep": errors and refusals.
    void stop(QWidget* owner, const QString& text);
    // Information icon, OK: a missing choice.
    void information(QWidget* owner, const QString& text);
    // Question icon, Yes and No; returns true for Yes.
    bool confirm(QWidget* owner, const QString& text,
                 MessageAnswer defaultButton = MessageAnswer::Yes);
};

} // namespace kestrel::dialogs
