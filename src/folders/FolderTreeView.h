#pragma once

#include "CMapiFolder.h"

#include <QColor>
#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QTreeWidget>

#include <functional>

namespace kestrel::platform {
class Namespace;
}

namespace kestrel::folders {

// The source store's mail folders, two levels deep, each with its item count
// and a tick. Nodes hold texts only: key EntryID, text "Name [count]", tag Path.
// The order in which nodes were added is kept apart from the sorted on-screen
// order: it is the order in which a task walks the ticked folders.
class FolderTreeView : public QTreeWidget {
    Q_OBJECT

public:
    struct Node {
        QString key;
        QString text;
        QString path;
        bool checked = false;
    };

    explicit FolderTreeView(QWidget* parent = nullptr);

    void setCheckBoxImages(const QIcon& unticked, const QIcon& ticked);
    void setStatusSink(std::function<void(const QString&)> setAppStatus);
    void setEventYield(std::function<void()> yieldEvents);
    void setNodeTextColor(const QColor& color) { m_textColor = color; }

    // Reloads the tree for a store record (nullptr: leaves it empty).
    void ShowChildFolders(platform::Namespace* ns, const CMapiFolder* store);
    void ClearChildFolders();
    void PopulateChildFolders(platform::Namespace& ns, const QString& folderPath,
                              QTreeWidgetItem* parentNode = nullptr);
    // Renews name and count of the ticked nodes.
    void RefreshFolderTree(platform::Namespace& ns);

    void CheckChildNodes(QTreeWidgetItem* parent, bool flag);
    void SelectAllNodes(bool flag);
    void InvertAllNodes();
    bool IsFolderSelected() const;

    static QString ExtractFolderName(const QString& folderNameAndCount);

    // Every node in the order of addition.
    QList<Node> nodesInAdditionOrder() const;
    QTreeWidgetItem* nodeByKey(const QString& key) const;
    void setNodeChecked(QTreeWidgetItem* node, bool flag);
    bool isNodeChecked(const QTreeWidgetItem* node) const;

Q_SIGNALS:
    // A tick changed by the user or the selection buttons.
    void ticksChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void toggleWithChildren(QTreeWidgetItem* node);
    void status(const QString& text);
    void foundFolder(const QString& name);

    QIcon m_unticked;
    QIcon m_ticked;
    QColor m_textColor;
    std::function<void(const QString&)> m_setAppStatus;
    std::function<void()> m_yieldEvents;
    QList<QTreeWidgetItem*> m_additionOrder;
    QElapsedTimer m_sinceFoundStatus;
    bool m_deferExpansion = false;
};

} // namespace kestrel::folders
