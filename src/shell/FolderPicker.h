#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace kestrel::shell {

// True for the name of an Outlook data file (.pst, .ost), which the stores
// dialog takes as a store of its own.
bool isOutlookDataFile(const QString& path);

// Asks the user for a directory, starting at startFolder. Nothing when the
// user cancelled. Tests swap in one that answers at once.
class FolderPicker {
public:
    virtual ~FolderPicker() = default;
    virtual std::optional<QString> pickFolder(QWidget* owner, const QString& startFolder) = 0;
    // A directory or an Outlook data file: the stores a profile can list.
    virtual std::optional<QString> pickFolderOrDataFile(QWidget* owner,
                                                        const QString& startFolder) = 0;
};

} // namespace kestrel::shell
