#include "MessageBoxService.h"

#include "WindowChrome.h"

namespace kestrel::dialogs {

static MessageBoxRequest productBox(const QString& text, MessageIcon icon)
{
    MessageBoxRequest request;
    request.text = text;
    request.icon = icon;
    request.title = QString::fromUtf8(kProductName);
    return request;
}

void MessageBoxService::stop(QWidget* owner, const QString& text)
{
    ask(owner, productBox(text, MessageIcon::Stop));
}

void MessageBoxService::information(QWidget* owner, const QString& text)
{
    ask(owner, productBox(text, MessageIcon::Information));
}

bool MessageBoxService::confirm(QWidget* owner, const QString& text, MessageAnswer defaultButton)
{
    MessageBoxRequest request = productBox(text, MessageIcon::Question);
    request.buttons = MessageButtons::YesNo;
    request.defaultButton = defaultButton;
    return ask(owner, request) == MessageAnswer::Yes;
}

} // namespace kestrel::dialogs
