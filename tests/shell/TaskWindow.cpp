#include "TaskWindow.h"

#include "dialogs/frmConfirm.h"
#include "folders/FolderTreeView.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace kestrel::test {

void TaskWindow::SetUp()
{
    ShellFixture::SetUp();
    // Not under test here; it would only add a dialog to every start.
    settings->write("Dialogs", "ShowFirstWarning", "0");
    maildir = std::make_unique<TempMaildir>();
    dialogs.inspect = [this](QDialog& dialog) {
        auto* confirm = qobject_cast<kestrel::dialogs::frmConfirm*>(&dialog);
        if (!confirm)
            return;
        confirmations.append(confirm->lblAction->text() + " | " + confirm->lblSource->text() +
                             " | " + confirm->lblDestination->text());
        if (cancelConfirmation)
            confirm->cmdCancel->click();
        else
            confirm->cmdConfirm->click();
    };
}

void TaskWindow::writeStores()
{
    maildir->addStore("Personal Folders");
    maildir->addStore("Archive");
    maildir->folderDir("Inbox", "Archive");
    maildir->writeProfile("Personal Folders");
}

void TaskWindow::addMessages(const QString& folder, int n, const QString& subject)
{
    for (int i = 0; i < n; ++i) {
        MessageSpec spec;
        spec.store = "Personal Folders";
        spec.folder = folder;
        spec.subject = QStringLiteral("%1 %2").arg(subject).arg(i + 1);
        spec.date = QDateTime(QDate(2020, 6, 10), QTime(9, 0)).addSecs(60 * i);
        maildir->addMessage(spec);
    }
}

QTreeWidgetItem* TaskWindow::node(shell::frmMain& window, const QString& name)
{
    for (const auto& node : window.tvFolders->nodesInAdditionOrder()) {
        if (folders::FolderTreeView::ExtractFolderName(node.text) == name)
            return window.tvFolders->nodeByKey(node.key);
    }
    return nullptr;
}

void TaskWindow::tick(shell::frmMain& window, const QString& name, bool flag)
{
    QTreeWidgetItem* item = node(window, name);
    ASSERT_NE(item, nullptr) << name.toStdString();
    window.tvFolders->setNodeChecked(item, flag);
    window.EnableArchiveButton();
}

YieldProbe::YieldProbe(std::function<void()> onYield) : m_onYield(std::move(onYield))
{
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        ++m_calls;
        m_onYield();
    });
    m_timer.start();
}

} // namespace kestrel::test
