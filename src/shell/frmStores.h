#pragma once

#include "ProfileFile.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kestrel::shell {

class FolderPicker;

// The "Mail stores" dialog: which folders the program shows as stores, under
// which names and in which order. It only edits its rows; the caller writes
// them (StoresSetup). Okay refuses a choice the profile would refuse, and says
// why in the dialog.
class frmStores : public QDialog {
    Q_OBJECT
public:
    // describe: the row for a folder or data file the user added by hand. addAccount: the
    // row for a server account the user describes, or nothing; note gets what
    // the user should know about it.
    using AccountAdder = std::function<std::optional<StoreChoice>(QWidget* owner, QString* note)>;
    frmStores(const QList<StoreChoice>& choices, FolderPicker& picker,
              std::function<StoreChoice(const QString&)> describe, AccountAdder addAccount,
              QWidget* owner = nullptr);

    // The rows as the user left them, in order, ticked or not.
    QList<StoreChoice> choices() const;
    // Why the ticked rows cannot be written, or nothing.
    QString problem() const;

    void accept() override;

    QLabel* Label1;
    QLabel* lblInfo;
    QTreeWidget* lstStores;
    QPushButton* cmdAdd;
    QPushButton* cmdAddImap;
    QPushButton* cmdRemove;
    QPushButton* cmdUp;
    QPushButton* cmdDown;
    QLabel* lblProblem;
    QPushButton* cmdOkay;
    QPushButton* cmdCancel;

private:
    void addRow(const StoreChoice& choice, int at = -1);
    void cmdAdd_Click();
    void cmdAddImap_Click();
    void moveCurrent(int by);

    QList<StoreChoice> m_rows; // what the tree does not show, by row's data index
    FolderPicker& m_picker;
    std::function<StoreChoice(const QString&)> m_describe;
    AccountAdder m_addAccount;
};

} // namespace kestrel::shell
