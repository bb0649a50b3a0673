#include "FileDialogFolderPicker.h"

#include <QDir>
#include <QFileInfo>

namespace kestrel::shell {

bool isOutlookDataFile(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("pst") || suffix == QLatin1String("ost");
}

std::optional<QString> FileDialogFolderPicker::pickFolder(QWidget* owner,
                                                          const QString& startFolder)
{
    const QString chosen = QFileDialog::getExistingDirectory(owner, QString(), startFolder,
                                                             QFileDialog::ShowDirsOnly |
                                                                 QFileDialog::DontResolveSymlinks);
    // The dialog gives an empty path when it was cancelled.
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen);
}

std::optional<QString> FileDialogFolderPicker::pickFolderOrDataFile(QWidget* owner,
                                                                    const QString& startFolder)
{
    FolderOrDataFileDialog dialog(owner, startFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}

FolderOrDataFileDialog::FolderOrDataFileDialog(QWidget* owner, const QString& startFolder)
    : QFileDialog(owner, QStringLiteral("Add a mail folder or an Outlook data file"), startFolder)
{
    setObjectName(QStringLiteral("FolderOrDataFileDialog"));
    // The platform's own dialog cannot list files while it chooses a directory.
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontResolveSymlinks);
    setFileMode(QFileDialog::Directory);
    setNameFilter(QStringLiteral("Mail folders and Outlook data files (*.pst *.ost)"));
    setLabelText(QFileDialog::Accept, QStringLiteral("&Add"));
}

void FolderOrDataFileDialog::accept()
{
    const QStringList chosen = selectedFiles();
    const QFileInfo file(chosen.isEmpty() ? QString() : chosen.constFirst());
    if (file.isFile() && isOutlookDataFile(file.filePath())) {
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}

} // namespace kestrel::shell
