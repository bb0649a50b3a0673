#pragma once

#include "FolderPicker.h"

#include <QFileDialog>

namespace kestrel::shell {

// The desktop's directory chooser (QFileDialog), modal over its owner.
class FileDialogFolderPicker : public FolderPicker {
public:
    std::optional<QString> pickFolder(QWidget* owner, const QString& startFolder) override;
    std::optional<QString> pickFolderOrDataFile(QWidget* owner,
                                                const QString& startFolder) override;
};

// Qt's own file dialog choosing a directory, which also takes an Outlook data
// file: a directory chooser alone shows no files, a file chooser walks into
// the directory it is given.
class FolderOrDataFileDialog : public QFileDialog {
    Q_OBJECT
public:
    FolderOrDataFileDialog(QWidget* owner, const QString& startFolder);
    void accept() override;
};

} // namespace kestrel::shell
