#include "frmStores.h"

#include "FolderPicker.h"
#include "dialogs/BorderShape.h"
#include "dialogs/NoticeStyle.h"
#include "dialogs/WindowChrome.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrel::shell {

namespace {

enum Column { NameColumn, FolderColumn, ContentsColumn };

QString shownPath(const QString& path)
{
    const QString home = QDir::homePath();
    if (path.startsWith(home + '/'))
        return QStringLiteral("~") + path.mid(home.size());
    return path;
}

QPushButton* sideButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QString realPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(path) : canonical;
}

} // namespace

frmStores::frmStores(const QList<StoreChoice>& choices, FolderPicker& picker,
                     std::function<StoreChoice(const QString&)> describe, AccountAdder addAccount,
                     QWidget* owner)
    : QDialog(owner), m_picker(picker), m_describe(std::move(describe)),
      m_addAccount(std::move(addAccount))
{
    setObjectName(QStringLiteral("frmStores"));
    setWindowTitle(QStringLiteral("Mail stores"));

    Label1 = dialogs::noticeHeading(this, "Label1", QStringLiteral("Mail stores"), 14.25);
    lblInfo = dialogs::noticeLabel(
        this, "lblInfo",
        QStringLiteral("Tick the mail folders to archive from and to, and name them as they "
                       "should appear in the Source and Destination lists. The folders found on "
                       "this computer are listed; an empty store named \"Archive\" receives what "
                       "you archive. An Outlook data file (.pst, .ost) can be added as a store "
                       "to archive from: it is only read, so its mail is copied, never moved."));

    lstStores = new QTreeWidget(this);
    lstStores->setObjectName(QStringLiteral("lstStores"));
    lstStores->setHeaderLabels(
        {QStringLiteral("Store"), QStringLiteral("Folder"), QStringLiteral("Contents")});
    lstStores->setRootIsDecorated(false);
    lstStores->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::SelectedClicked);
    lstStores->header()->setStretchLastSection(false);
    lstStores->header()->setSectionResizeMode(NameColumn, QHeaderView::Interactive);
    lstStores->header()->setSectionResizeMode(FolderColumn, QHeaderView::Stretch);
    lstStores->header()->setSectionResizeMode(ContentsColumn, QHeaderView::ResizeToContents);
    lstStores->setColumnWidth(NameColumn, 160);
    lstStores->setMinimumHeight(170);

    cmdAdd = sideButton(this, "cmdAdd", QStringLiteral("&Add Folder or File..."));
    cmdAddImap = sideButton(this, "cmdAddImap", QStringLiteral("Add &IMAP Account..."));
    cmdRemove = sideButton(this, "cmdRemove", QStringLiteral("&Remove"));
    cmdUp = sideButton(this, "cmdUp", QStringLiteral("Move &Up"));
    cmdDown = sideButton(this, "cmdDown", QStringLiteral("Move &Down"));

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setTextFormat(Qt::PlainText);
    dialogs::setTextColor(lblProblem, QColor(Qt::red));

    cmdOkay = new QPushButton(QStringLiteral("&Okay"), this);
    cmdOkay->setObjectName(QStringLiteral("cmdOkay"));
    cmdOkay->setDefault(true);
    cmdOkay->setMinimumWidth(90);
    cmdCancel = sideButton(this, "cmdCancel", QStringLiteral("&Cancel"));
    cmdCancel->setMinimumWidth(90);

    auto* side = new QVBoxLayout;
    for (QPushButton* button : {cmdAdd, cmdAddImap, cmdRemove, cmdUp, cmdDown})
        side->addWidget(button);
    side->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(lstStores, 1);
    middle->addLayout(side);
    auto* commands = new QHBoxLayout;
    commands->addStretch(1);
    commands->addWidget(cmdOkay);
    commands->addWidget(cmdCancel);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    outer->addWidget(Label1);
    outer->addWidget(lblInfo);
    outer->addSpacing(4);
    outer->addLayout(middle, 1);
    outer->addWidget(lblProblem);
    outer->addLayout(commands);
    new dialogs::BorderShape(this);
    dialogs::fillWindowBackground(*this);
    resize(720, 400);
    dialogs::applyWindowChrome(*this);

    for (const StoreChoice& choice : choices)
        addRow(choice);
    lstStores->setCurrentItem(lstStores->topLevelItem(0));

    connect(cmdAdd, &QPushButton::clicked, this, &frmStores::cmdAdd_Click);
    connect(cmdAddImap, &QPushButton::clicked, this, &frmStores::cmdAddImap_Click);
    connect(cmdRemove, &QPushButton::clicked, this, [this] { delete lstStores->currentItem(); });
    connect(cmdUp, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(cmdDown, &QPushButton::clicked, this, [this] { moveCurrent(1); });
    connect(cmdOkay, &QPushButton::clicked, this, &frmStores::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStores::reject);
}

void frmStores::addRow(const StoreChoice& choice, int at)
{
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable |
                   Qt::ItemIsUserCheckable);
    item->setText(NameColumn, choice.name);
    item->setCheckState(NameColumn, choice.ticked ? Qt::Checked : Qt::Unchecked);
    item->setText(FolderColumn, choice.path.isEmpty() ? choice.place : shownPath(choice.path));
    item->setToolTip(FolderColumn, choice.path.isEmpty() ? choice.place : choice.path);
    item->setText(ContentsColumn, choice.problem.isEmpty() ? choice.contents : choice.problem);
    if (!choice.problem.isEmpty())
        item->setForeground(ContentsColumn, QColor(Qt::darkRed));
    item->setData(NameColumn, Qt::UserRole, int(m_rows.size()));
    m_rows.append(choice);
    if (at < 0)
        lstStores->addTopLevelItem(item);
    else
        lstStores->insertTopLevelItem(at, item);
}

QList<StoreChoice> frmStores::choices() const
{
    QList<StoreChoice> result;
    for (int i = 0; i < lstStores->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lstStores->topLevelItem(i);
        StoreChoice choice = m_rows.at(item->data(NameColumn, Qt::UserRole).toInt());
        choice.name = item->text(NameColumn).trimmed();
        choice.ticked = item->checkState(NameColumn) == Qt::Checked;
        result.append(choice);
    }
    return result;
}

QString frmStores::problem() const
{
    QList<StoreChoice> ticked;
    for (const StoreChoice& choice : choices()) {
        if (choice.ticked)
            ticked.append(choice);
    }
    if (ticked.isEmpty())
        return QStringLiteral("Tick at least one folder to use as a mail store.");
    for (qsizetype i = 0; i < ticked.size(); ++i) {
        const StoreChoice& one = ticked[i];
        if (one.name.isEmpty())
            return QStringLiteral("The store of %1 needs a name.")
                .arg(one.path.isEmpty() ? one.contents : shownPath(one.path));
        if (one.name.contains('\\'))
            return QStringLiteral("The name \"%1\" holds a backslash, which separates folder "
                                  "names.")
                .arg(one.name);
        if (!one.problem.isEmpty() && !one.create)
            return QStringLiteral("\"%1\" cannot be used: %2").arg(one.name, one.problem);
        for (qsizetype k = 0; k < i; ++k) {
            // The window finds stores by name, ignoring case.
            if (ticked[k].name.compare(one.name, Qt::CaseInsensitive) == 0)
                return QStringLiteral("Two stores are named \"%1\".").arg(one.name);
            // A server's store has no folder to share.
            if (!one.path.isEmpty() && realPath(ticked[k].path) == realPath(one.path))
                return QStringLiteral("\"%1\" and \"%2\" are the same folder.")
                    .arg(ticked[k].name, one.name);
        }
    }
    return {};
}

void frmStores::accept()
{
    const QString why = problem();
    lblProblem->setText(why);
    if (why.isEmpty())
        QDialog::accept();
}

void frmStores::cmdAdd_Click()
{
    const std::optional<QString> chosen = m_picker.pickFolderOrDataFile(this, QDir::homePath());
    if (!chosen || chosen->trimmed().isEmpty())
        return;
    StoreChoice choice = m_describe(QDir::cleanPath(*chosen));
    choice.ticked = true;
    addRow(choice);
    lstStores->setCurrentItem(lstStores->topLevelItem(lstStores->topLevelItemCount() - 1));
}

void frmStores::cmdAddImap_Click()
{
    QString note;
    const std::optional<StoreChoice> choice = m_addAccount(this, &note);
    if (!choice)
        return;
    addRow(*choice);
    lstStores->setCurrentItem(lstStores->topLevelItem(lstStores->topLevelItemCount() - 1));
    lblProblem->setText(note);
}

void frmStores::moveCurrent(int by)
{
    QTreeWidgetItem* item = lstStores->currentItem();
    if (!item)
        return;
    const int from = lstStores->indexOfTopLevelItem(item);
    const int to = from + by;
    if (to < 0 || to >= lstStores->topLevelItemCount())
        return;
    lstStores->takeTopLevelItem(from);
    lstStores->insertTopLevelItem(to, item);
    lstStores->setCurrentItem(item);
}

} // namespace kestrel::shell
