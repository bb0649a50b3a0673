#include "Unattended.h"

#include "dialogs/QtMessageBoxService.h"

#include <QDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace kestrel::shell {

static constexpr int kShownMs = 1200;

dialogs::MessageAnswer UnattendedMessageBoxService::ask(QWidget* owner,
                                                        const dialogs::MessageBoxRequest& request)
{
    std::fprintf(stderr, "kestrel-mailkeep: message: %s\n", qPrintable(request.text));
    auto box = dialogs::QtMessageBoxService::build(owner, request);
    QTimer::singleShot(kShownMs, box.get(), &QDialog::accept);
    box->exec();
    return request.buttons == dialogs::MessageButtons::Ok ? dialogs::MessageAnswer::Ok
                                                          : request.defaultButton;
}

int UnattendedDialogRunner::run(QDialog& dialog)
{
    QTimer::singleShot(kShownMs, &dialog, &QDialog::accept);
    return dialog.exec();
}

void saveScreenshotLater(QWidget& window, const QString& file)
{
    QTimer::singleShot(800, &window, [&window, file] {
        if (window.grab().save(file))
            std::printf("Screenshot saved to %s\n", qPrintable(QFileInfo(file).absoluteFilePath()));
        else
            std::fprintf(stderr, "kestrel-mailkeep: cannot write %s\n", qPrintable(file));
        std::fflush(stdout);
        window.close();
    });
}

} // namespace kestrel::shell
