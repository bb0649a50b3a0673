#pragma once

#include "FolderPicker.h"

namespace kestrel::shell {

// The desktop's directory chooser (QFileDialog), modal over its owner.
class FileDialogFolderPicker : public FolderPicker {
public:
    std::optional<QString> pickFolder(QWidget* owner, const QString& startFolder) override;
};

} // namespace kestrel::shell
