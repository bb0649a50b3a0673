#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace kestrel::shell {

// Asks the user for a directory, starting at startFolder. Nothing when the
// user cancelled. Tests swap in one that answers at once.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual std::optional<QString> pickFolder(QWidget* owner, const QString& startFolder) = 0;
};

} // namespace kestrel::shell
