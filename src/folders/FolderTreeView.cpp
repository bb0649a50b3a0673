#include "FolderTreeView.h"

#include "mdlMAPI.h"
#include "platform/MailPlatform.h"

#include <QApplication>
#include <QKeyEvent>

namespace kestrel::folders {

namespace {

constexpr int kKeyRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole + 2;
constexpr int kCheckedRole = Qt::UserRole + 3;

QString nodeText(const QString& name, qint64 count)
{
    return name + QStringLiteral(" [") + QString::number(count) + ']';
}

// The wait cursor for the length of a scope, giving back what was there.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

FolderTreeView::FolderTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Every row is one line with a tick picture: the view need not measure
    // each row again whenever it lays out thousands of them.
    setUniformRowHeights(true);
    // itemClicked comes from the mouse only; moving the selection with the
    // keyboard never changes a tick.
    connect(this, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* node, int) { toggleWithChildren(node); });
}

void FolderTreeView::setCheckBoxImages(const QIcon& unticked, const QIcon& ticked)
{
    m_unticked = unticked;
    m_ticked = ticked;
    for (QTreeWidgetItem* node : std::as_const(m_additionOrder))
        setNodeChecked(node, isNodeChecked(node));
}

void FolderTreeView::setStatusSink(std::function<void(const QString&)> setAppStatus)
{
    m_setAppStatus = std::move(setAppStatus);
}

void FolderTreeView::setEventYield(std::function<void()> yieldEvents)
{
    m_yieldEvents = std::move(yieldEvents);
}

void FolderTreeView::status(const QString& text)
{
    if (m_setAppStatus)
        m_setAppStatus(text);
}

void FolderTreeView::ShowChildFolders(platform::Namespace* ns, const CMapiFolder* store)
{
    status(QStringLiteral("Loading folder list..."));
    m_sinceFoundStatus.invalidate();
    setUpdatesEnabled(false);
    ClearChildFolders();
    if (ns && store) {
        // Expanding while nodes come in makes the view lay out every expanded
        // row again at each yield; a reload expands once, when all are in.
        m_deferExpansion = true;
        PopulateChildFolders(*ns, store->Name);
        m_deferExpansion = false;
        for (int i = 0; i < topLevelItemCount(); ++i) {
            if (topLevelItem(i)->childCount() > 0)
                topLevelItem(i)->setExpanded(true);
        }
        if (!m_additionOrder.isEmpty()) {
            scrollToItem(m_additionOrder.first());
            scrollToTop();
        }
    }
    setUpdatesEnabled(true);
    viewport()->update();
    status(QString());
}

void FolderTreeView::ClearChildFolders()
{
    m_additionOrder.clear();
    clear();
}

void FolderTreeView::PopulateChildFolders(platform::Namespace& ns, const QString& folderPath,
                                          QTreeWidgetItem* parentNode)
{
    WaitCursor waitCursor;
    auto folder = GetFolderFromPath(ns, folderPath);
    if (!folder)
        return;
    const QString fullPath = folder->folderPath().value_or(folderPath);
    folder.reset();

    const ChildFolderList children = GetChildFolders(ns, fullPath, m_yieldEvents);
    if (children.count() == 0) {
        status(QStringLiteral("No folders found in ") + fullPath);
        return;
    }
    // Each node is filled before it joins the tree: a change to a node in the
    // tree makes the view look it up among all its rows.
    QList<QTreeWidgetItem*> nodes;
    for (const CMapiFolder& record : children.records()) {
        foundFolder(record.Name);
        auto* node = new QTreeWidgetItem;
        node->setText(0, nodeText(record.Name, record.ItemCount));
        node->setData(0, kKeyRole, record.EntryID);
        node->setData(0, kPathRole, record.Path);
        if (m_textColor.isValid())
            node->setForeground(0, m_textColor);
        setNodeChecked(node, false);
        m_additionOrder.append(node);
        if (!parentNode) {
            addTopLevelItem(node);
            PopulateChildFolders(ns, record.Path, node);
        } else {
            nodes.append(node);
        }
    }
    // Sorted once, when all are in: sorting after every child costs a sort
    // of the siblings so far for each of them.
    if (parentNode) {
        parentNode->addChildren(nodes);
        parentNode->sortChildren(0, Qt::AscendingOrder);
        if (!m_deferExpansion)
            parentNode->setExpanded(true);
    }
}

void FolderTreeView::foundFolder(const QString& name)
{
    // The status line is painted at once; thousands of folders are listed
    // faster than a screen shows them, so a name is shown once a frame.
    constexpr qint64 kFrameMs = 20;
    if (m_sinceFoundStatus.isValid() && m_sinceFoundStatus.elapsed() < kFrameMs)
        return;
    m_sinceFoundStatus.start();
    status(QStringLiteral("Found folder ") + name);
}

void FolderTreeView::RefreshFolderTree(platform::Namespace& ns)
{
    status(QStringLiteral("Refreshing folder details..."));
    for (QTreeWidgetItem* node : std::as_const(m_additionOrder)) {
        if (!isNodeChecked(node))
            continue;
        auto folder = GetFolderFromPath(ns, node->data(0, kPathRole).toString());
        if (!folder)
            continue;
        const auto name = folder->name();
        auto items = folder->items();
        const qint64 count = items ? items->count().value_or(0) : 0;
        node->setText(0, nodeText(name.value_or(ExtractFolderName(node->text(0))), count));
    }
}

void FolderTreeView::setNodeChecked(QTreeWidgetItem* node, bool flag)
{
    node->setData(0, kCheckedRole, flag);
    node->setIcon(0, flag ? m_ticked : m_unticked);
}

bool FolderTreeView::isNodeChecked(const QTreeWidgetItem* node) const
{
    return node->data(0, kCheckedRole).toBool();
}

void FolderTreeView::CheckChildNodes(QTreeWidgetItem* parent, bool flag)
{
    for (int i = 0; i < parent->childCount(); ++i)
        setNodeChecked(parent->child(i), flag);
}

void FolderTreeView::SelectAllNodes(bool flag)
{
    for (QTreeWidgetItem* node : std::as_const(m_additionOrder))
        setNodeChecked(node, flag);
    Q_EMIT ticksChanged();
}

void FolderTreeView::InvertAllNodes()
{
    for (QTreeWidgetItem* node : std::as_const(m_additionOrder))
        setNodeChecked(node, !isNodeChecked(node));
    Q_EMIT ticksChanged();
}

bool FolderTreeView::IsFolderSelected() const
{
    for (const QTreeWidgetItem* node : m_additionOrder) {
        if (isNodeChecked(node))
            return true;
    }
    return false;
}

QString FolderTreeView::ExtractFolderName(const QString& folderNameAndCount)
{
    const qsizetype at = folderNameAndCount.lastIndexOf(QLatin1String(" ["));
    return at < 0 ? folderNameAndCount : folderNameAndCount.left(at);
}

QList<FolderTreeView::Node> FolderTreeView::nodesInAdditionOrder() const
{
    QList<Node> nodes;
    nodes.reserve(m_additionOrder.size());
    for (const QTreeWidgetItem* node : m_additionOrder) {
        nodes.append({node->data(0, kKeyRole).toString(), node->text(0),
                      node->data(0, kPathRole).toString(), isNodeChecked(node)});
    }
    return nodes;
}

QTreeWidgetItem* FolderTreeView::nodeByKey(const QString& key) const
{
    for (QTreeWidgetItem* node : m_additionOrder) {
        if (node->data(0, kKeyRole).toString() == key)
            return node;
    }
    return nullptr;
}

void FolderTreeView::toggleWithChildren(QTreeWidgetItem* node)
{
    if (!node)
        return;
    const bool flag = !isNodeChecked(node);
    setNodeChecked(node, flag);
    CheckChildNodes(node, flag);
    Q_EMIT ticksChanged();
}

void FolderTreeView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space) {
        toggleWithChildren(currentItem());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace kestrel::folders
