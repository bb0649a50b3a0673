#include "QtMessageBoxService.h"

#include <QApplication>
#include <QMessageBox>

namespace kestrel::dialogs {

static QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

static QMessageBox::StandardButton qtButton(MessageAnswer answer)
{
    switch (answer) {
    case MessageAnswer::Ok:
        return QMessageBox::Ok;
    case MessageAnswer::Yes:
        return QMessageBox::Yes;
    case MessageAnswer::No:
        return QMessageBox::No;
    case MessageAnswer::Cancel:
        return QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

static QMessageBox::StandardButtons qtButtons(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

std::unique_ptr<QMessageBox> QtMessageBoxService::build(QWidget* owner,
                                                        const MessageBoxRequest& request)
{
    auto box = std::make_unique<QMessageBox>(owner);
    box->setIcon(qtIcon(request.icon));
    box->setText(request.text);
    box->setWindowTitle(request.title.isEmpty() ? QApplication::applicationName() : request.title);
    box->setStandardButtons(qtButtons(request.buttons));
    const QMessageBox::StandardButton preferred = qtButton(request.defaultButton);
    if (box->standardButtons() & preferred)
        box->setDefaultButton(preferred);
    return box;
}

MessageAnswer QtMessageBoxService::ask(QWidget* owner, const MessageBoxRequest& request)
{
    auto box = build(owner, request);
    switch (box->exec()) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    default:
        return MessageAnswer::Ok;
    }
}

} // namespace kestrel::dialogs
