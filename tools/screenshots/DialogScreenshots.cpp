// Saves a picture of each dialog for the docs:
//   xvfb-run -a kestrel-dialog-screenshots DIR
// writes DIR/dialog-confirm.png, dialog-config.png, dialog-first-warning.png,
// dialog-performance-tip.png and dialog-single-store.png.

#include "dialogs/WindowChrome.h"
#include "dialogs/frmCompactInfo.h"
#include "dialogs/frmConfig.h"
#include "dialogs/frmConfirm.h"
#include "dialogs/frmFirstWarning.h"
#include "dialogs/frmNoArchiveWarning.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>

using namespace kestrel::dialogs;

namespace {

bool save(QDialog& dialog, const QString& dir, const char* name)
{
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        QTest::qWait(200);
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(QLatin1String(name));
    const bool saved = dialog.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    dialog.hide();
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);
    QApplication::setFont(chromeFont());
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);

    bool ok = true;
    frmConfirm confirm;
    confirm.setActionMode(0);
    confirm.setActionDescription(QStringLiteral("MOVE MATCHING MESSAGES"));
    confirm.setSourceFolder(QStringLiteral("Personal Folders"));
    confirm.setDestinationFolder(QStringLiteral("Archive"));
    ok &= save(confirm, dir, "dialog-confirm.png");

    frmConfig config;
    config.setMSGPattern(QStringLiteral("%ct% %su%"));
    ok &= save(config, dir, "dialog-config.png");

    frmFirstWarning firstWarning;
    ok &= save(firstWarning, dir, "dialog-first-warning.png");

    frmCompactInfo tip;
    ok &= save(tip, dir, "dialog-performance-tip.png");

    frmNoArchiveWarning singleStore;
    ok &= save(singleStore, dir, "dialog-single-store.png");
    return ok ? 0 : 1;
}
