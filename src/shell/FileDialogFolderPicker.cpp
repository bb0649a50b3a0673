#include "FileDialogFolderPicker.h"

#include <QDir>
#include <QFileDialog>

namespace kestrel::shell {

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

} // namespace kestrel::shell
