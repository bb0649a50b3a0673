// Builds frmMain's controls and lays them out; behaviour is in frmMain.cpp.
#include "ImageList.h"
#include "dialogs/BorderShape.h"
#include "dialogs/ShowConfig.h"
#include "dialogs/SvgPicture.h"
#include "dialogs/WebLink.h"
#include "dialogs/WindowChrome.h"
#include "dialogs/WindowDragger.h"
#include "folders/FolderTreeView.h"
#include "frmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

static void loadShellPictures()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(shell);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace kestrel::shell {

namespace {

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QGroupBox* groupBox(QWidget* parent, const char* name, const QString& caption)
{
    return named(new QGroupBox(caption, parent), name);
}

QLabel* label(QWidget* parent, const char* name, const QString& text)
{
    return named(new QLabel(text, parent), name);
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QString& tip = {})
{
    auto* result = named(new QPushButton(caption, parent), name);
    if (!tip.isEmpty())
        result->setToolTip(tip);
    return result;
}

QComboBox* dropDown(QWidget* parent, const char* name)
{
    auto* list = named(new QComboBox(parent), name);
    list->setEditable(false);
    return list;
}

QDateEdit* datePicker(QWidget* parent, const char* name)
{
    auto* picker = named(new QDateEdit(parent), name);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(QStringLiteral("dd MMM yyyy"));
    picker->setMinimumDate(QDate(1753, 1, 1));
    return picker;
}

QPixmap picture(const char* name, int size)
{
    loadShellPictures();
    return dialogs::svgPicture(QStringLiteral(":/shell/%1.svg").arg(QLatin1String(name)),
                               QSize(size, size));
}

QLabel* pictureLabel(QWidget* parent, const char* name, const QPixmap& pixmap)
{
    auto* result = label(parent, name, {});
    result->setPixmap(pixmap);
    result->setFixedSize(pixmap.deviceIndependentSize().toSize());
    return result;
}

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

void frmMain::createControls()
{
    GroupBox4 = groupBox(this, "GroupBox4", QStringLiteral("Source"));
    cbTopFolder = dropDown(GroupBox4, "cbTopFolder");
    cbTopFolder->setEnabled(false); // until start-up has chosen the source
    txtSrcFileSystemFolder = named(new QLineEdit(GroupBox4), "txtSrcFileSystemFolder");
    cmdPickSrcFileSystemFolder = button(GroupBox4, "cmdPickSrcFileSystemFolder", "...");
    cmdStores = button(GroupBox4, "cmdStores", QStringLiteral("Stores…"),
                       QStringLiteral("Add, rename, reorder or remove mail stores"));
    Label13 = label(GroupBox4, "Label13", QStringLiteral("Folder"));

    GroupBox2 = groupBox(this, "GroupBox2", QStringLiteral("Destination"));
    cbArchiveFolder = dropDown(GroupBox2, "cbArchiveFolder");
    txtDstFileSystemFolder = named(new QLineEdit(GroupBox2), "txtDstFileSystemFolder");
    cmdPickDstFileSystemFolder = button(GroupBox2, "cmdPickDstFileSystemFolder", "...");
    Label12 = label(GroupBox2, "Label12", QStringLiteral("Folder"));
    for (QLineEdit* edit : {txtSrcFileSystemFolder, txtDstFileSystemFolder})
        edit->setEnabled(false);
    for (QPushButton* pick : {cmdPickSrcFileSystemFolder, cmdPickDstFileSystemFolder}) {
        pick->setEnabled(false);
        pick->setFixedWidth(32);
    }

    GroupBox1 = groupBox(this, "GroupBox1", QStringLiteral("Select Folders To Archive"));
    tvFolders = named(new folders::FolderTreeView(GroupBox1), "tvFolders");
    tvFolders->setMinimumHeight(190);
    imgCheckBoxes = named(new ImageList(this), "imgCheckBoxes");
    imgCheckBoxes->add(picture("check-off", 14));
    imgCheckBoxes->add(picture("check-on", 14));
    tvFolders->setCheckBoxImages(QIcon(imgCheckBoxes->image(1)), QIcon(imgCheckBoxes->image(2)));
    cmdSelectAll = button(GroupBox1, "cmdSelectAll", "&All", "Select all folders");
    cmdSelectNone = button(GroupBox1, "cmdSelectNone", "&None", "Clears current selection");
    cmdSelectInvert =
        button(GroupBox1, "cmdSelectInvert", "&Invert", "Invert the current selection");

    fraArchive = groupBox(this, "fraArchive", QStringLiteral("Filter Settings"));
    Label2 = label(fraArchive, "Label2", QStringLiteral("Filter On"));
    cbDateBase = dropDown(fraArchive, "cbDateBase");
    Label3 = label(fraArchive, "Label3", QStringLiteral("Between"));
    dtStart = datePicker(fraArchive, "dtStart");
    Label4 = label(fraArchive, "Label4", QStringLiteral("and"));
    dtEnd = datePicker(fraArchive, "dtEnd");
    chkIncludeUnread = named(new QCheckBox(QStringLiteral("Include Unopened messages"), fraArchive),
                             "chkIncludeUnread");
    chkNoAging = named(new QCheckBox(QStringLiteral("Respect \"No Archive\" Flag"), fraArchive),
                       "chkNoAging");

    GroupBox3 = groupBox(this, "GroupBox3", QStringLiteral("Task Settings"));
    Label8 = label(GroupBox3, "Label8", QStringLiteral("Task"));
    cbAction = dropDown(GroupBox3, "cbAction");
    imgAction = label(GroupBox3, "imgAction", {});
    imgAction->setFixedSize(32, 32);
    Label10 = label(GroupBox3, "Label10", QStringLiteral("Task Priority"));
    cbPriority = dropDown(GroupBox3, "cbPriority");
    cmdConfig = button(GroupBox3, "cmdConfig", QStringLiteral("Configure"));
    cmdConfig->setIcon(QIcon(picture("configure", 16)));

    fraProgress = groupBox(this, "fraProgress", QStringLiteral("Progress"));
    Label5 = label(fraProgress, "Label5", QStringLiteral("Folder :"));
    lblCurrentFolder = label(fraProgress, "lblCurrentFolder", QStringLiteral("Waiting..."));
    Label6 = label(fraProgress, "Label6", QStringLiteral("Action :"));
    lblCurrentAction = label(fraProgress, "lblCurrentAction", QStringLiteral("Waiting..."));
    for (QLabel* line : {lblCurrentFolder, lblCurrentAction}) {
        line->setTextFormat(Qt::PlainText);
        line->setMinimumWidth(100);
        setTextColor(line, QColor(31, 63, 107));
    }
    tvFolders->setNodeTextColor(lblCurrentAction->palette().color(QPalette::WindowText));
    pbCurrent = named(new QProgressBar(fraProgress), "pbCurrent");
    pbCurrent->setRange(0, 1); // empty, not Qt's 0..0 busy animation
    pbCurrent->setValue(0);
    pbCurrent->setTextVisible(false);
    pbCurrent->setFixedHeight(16);
    // Hidden after a run; the window keeps its layout rather than jumping.
    QSizePolicy barPolicy = pbCurrent->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    pbCurrent->setSizePolicy(barPolicy);

    cmdArchive = button(this, "cmdArchive", QStringLiteral("&Start"), "Start the archive task");
    cmdPreview =
        button(this, "cmdPreview", QStringLiteral("&Preview"), "Preview what would happen");
    cmdQuit = button(this, "cmdQuit", QStringLiteral("&Quit"));
    cmdMinimize = button(this, "cmdMinimize", QStringLiteral("Minimize"));
    cmdMinimize->setIcon(QIcon(picture("minimize", 16)));
    cmdMinimize->setFlat(true);
    lblAppStatus = named(new StatusLine(this), "lblAppStatus");
    lblAppStatus->setText(QStringLiteral("Waiting"));
    lblDetails = label(this, "lblDetails", QStringLiteral("<a href=\"#details\">Details</a>"));
    lblDetails->setTextFormat(Qt::RichText);
    lblDetails->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblDetails->setToolTip(QStringLiteral("What the last run did to each item"));
    lblDetails->hide();
    imgAppName =
        pictureLabel(this, "imgAppName", dialogs::svgPicture(":/shell/title.svg", {300, 44}));
    lblVer = label(this, "lblVer", QStringLiteral("v1.0.000"));
    Label9 = label(this, "Label9", QString::fromLatin1(dialogs::kProductWebName));
    setTextColor(Label9, QColor(43, 111, 201));
    QFont linkFont = Label9->font();
    linkFont.setUnderline(true);
    Label9->setFont(linkFont);
    setTextColor(lblVer, QColor(107, 127, 153));

    cmdDialog = named(new QFileDialog(this), "cmdDialog");
    cmdDialog->setFileMode(QFileDialog::Directory);
    cmdDialog->setOption(QFileDialog::ShowDirsOnly);
    cmdDialog->hide();

    shaBorder = new dialogs::BorderShape(this);
}

QWidget* frmMain::createHeader()
{
    auto* header = named(new QWidget(this), "header");
    auto* versionAndLink = new QVBoxLayout;
    versionAndLink->setSpacing(2);
    versionAndLink->addWidget(lblVer, 0, Qt::AlignRight);
    versionAndLink->addWidget(Label9, 0, Qt::AlignRight);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(imgAppName, 0, Qt::AlignVCenter);
    row->addStretch(1);
    row->addLayout(versionAndLink);
    row->addSpacing(10);
    row->addWidget(cmdMinimize, 0, Qt::AlignTop);
    return header;
}

QWidget* frmMain::createFooter()
{
    auto* footer = named(new QWidget(this), "footer");
    // The lamps share one spot; start-up moves the idle lamp onto the busy one.
    auto* lamps = named(new QWidget(footer), "lamps");
    lamps->setFixedSize(36, 16);
    imgLEDBusy = pictureLabel(lamps, "imgLEDBusy", picture("led-busy", 16));
    imgLEDIdle = pictureLabel(lamps, "imgLEDIdle", picture("led-idle", 16));
    imgLEDBusy->move(0, 0);
    imgLEDIdle->move(20, 0);
    lblAppStatus->setParent(footer);
    lblDetails->setParent(footer);
    for (QPushButton* command : {cmdArchive, cmdPreview, cmdQuit}) {
        command->setParent(footer);
        command->setMinimumWidth(88);
    }
    // The status line has a row of its own: a whole summary with failures
    // and size fits the window's width.
    auto* status = new QHBoxLayout;
    status->addWidget(lamps, 0, Qt::AlignVCenter);
    status->addWidget(lblAppStatus, 1);
    status->addWidget(lblDetails);
    auto* commands = new QHBoxLayout;
    commands->addStretch(1);
    commands->addWidget(cmdArchive);
    commands->addWidget(cmdPreview);
    commands->addWidget(cmdQuit);
    auto* rows = new QVBoxLayout(footer);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(status);
    rows->addLayout(commands);
    cmdArchive->setDefault(false);
    return footer;
}

void frmMain::layOutControls()
{
    auto* source = new QGridLayout(GroupBox4);
    auto* sourceStores = new QHBoxLayout;
    sourceStores->addWidget(cbTopFolder, 1);
    sourceStores->addWidget(cmdStores);
    source->addLayout(sourceStores, 0, 0, 1, 3);
    source->addWidget(Label13, 1, 0);
    source->addWidget(txtSrcFileSystemFolder, 1, 1);
    source->addWidget(cmdPickSrcFileSystemFolder, 1, 2);
    source->setColumnStretch(1, 1);

    auto* destination = new QGridLayout(GroupBox2);
    destination->addWidget(cbArchiveFolder, 0, 0, 1, 3);
    destination->addWidget(Label12, 1, 0);
    destination->addWidget(txtDstFileSystemFolder, 1, 1);
    destination->addWidget(cmdPickDstFileSystemFolder, 1, 2);
    destination->setColumnStretch(1, 1);

    auto* selection = new QHBoxLayout;
    selection->addWidget(cmdSelectAll);
    selection->addWidget(cmdSelectNone);
    selection->addWidget(cmdSelectInvert);
    auto* tree = new QVBoxLayout(GroupBox1);
    tree->addWidget(tvFolders, 1);
    tree->addLayout(selection);

    auto* filter = new QGridLayout(fraArchive);
    filter->addWidget(Label2, 0, 0);
    filter->addWidget(cbDateBase, 0, 1, 1, 3);
    filter->addWidget(Label3, 1, 0);
    filter->addWidget(dtStart, 1, 1);
    filter->addWidget(Label4, 1, 2, Qt::AlignCenter);
    filter->addWidget(dtEnd, 1, 3);
    filter->addWidget(chkIncludeUnread, 2, 0, 1, 4);
    filter->addWidget(chkNoAging, 3, 0, 1, 4);
    filter->setColumnStretch(1, 1);
    filter->setColumnStretch(3, 1);

    auto* task = new QGridLayout(GroupBox3);
    task->addWidget(Label8, 0, 0);
    task->addWidget(cbAction, 0, 1);
    task->addWidget(imgAction, 0, 2, 2, 1, Qt::AlignCenter);
    task->addWidget(Label10, 1, 0);
    task->addWidget(cbPriority, 1, 1);
    task->addWidget(cmdConfig, 2, 1, 1, 2, Qt::AlignRight);
    task->setColumnStretch(1, 1);

    auto* progress = new QGridLayout(fraProgress);
    progress->addWidget(Label5, 0, 0);
    progress->addWidget(lblCurrentFolder, 0, 1);
    progress->addWidget(Label6, 1, 0);
    progress->addWidget(lblCurrentAction, 1, 1);
    progress->addWidget(pbCurrent, 2, 0, 1, 2);
    progress->setColumnStretch(1, 1);

    auto* stores = new QHBoxLayout;
    stores->addWidget(GroupBox4, 1);
    stores->addWidget(GroupBox2, 1);
    auto* settingsColumn = new QVBoxLayout;
    settingsColumn->addWidget(fraArchive);
    settingsColumn->addWidget(GroupBox3);
    settingsColumn->addStretch(1);
    auto* middle = new QHBoxLayout;
    middle->addWidget(GroupBox1, 1);
    middle->addLayout(settingsColumn, 1);

    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(12, 8, 12, 10);
    window->setSpacing(8);
    window->addWidget(createHeader());
    window->addLayout(stores);
    window->addLayout(middle, 1);
    window->addWidget(fraProgress);
    window->addWidget(createFooter());

    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(238, 242, 247));
    setPalette(palette);
    setFont(dialogs::chromeFont());
    setFixedSize(QSize(720, sizeHint().height()));
}

void frmMain::connectControls()
{
    connect(cbAction, &QComboBox::currentIndexChanged, this, &frmMain::cbAction_Click);
    connect(cbTopFolder, &QComboBox::currentIndexChanged, this, &frmMain::cbTopFolder_Click);
    connect(cbArchiveFolder, &QComboBox::currentIndexChanged, this,
            &frmMain::cbArchiveFolder_Click);
    connect(cmdQuit, &QPushButton::clicked, this, &frmMain::cmdQuit_Click);
    connect(cmdArchive, &QPushButton::clicked, this, &frmMain::cmdArchive_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmMain::cmdPreview_Click);
    connect(cmdConfig, &QPushButton::clicked, this,
            [this] { dialogs::ShowConfig(*m_services.settings, *m_services.dialogs, this); });
    connect(cmdStores, &QPushButton::clicked, this, &frmMain::cmdStores_Click);
    connect(cmdPickSrcFileSystemFolder, &QPushButton::clicked, this,
            [this] { pickDiskFolder(*txtSrcFileSystemFolder); });
    connect(cmdPickDstFileSystemFolder, &QPushButton::clicked, this,
            [this] { pickDiskFolder(*txtDstFileSystemFolder); });
    connect(cmdMinimize, &QPushButton::clicked, this, &QWidget::showMinimized);
    // Each tree change reports ticksChanged, which updates Start and Preview.
    connect(cmdSelectAll, &QPushButton::clicked, this, [this] { tvFolders->SelectAllNodes(true); });
    connect(cmdSelectNone, &QPushButton::clicked, this,
            [this] { tvFolders->SelectAllNodes(false); });
    connect(cmdSelectInvert, &QPushButton::clicked, tvFolders,
            &folders::FolderTreeView::InvertAllNodes);
    connect(tvFolders, &folders::FolderTreeView::ticksChanged, this, &frmMain::EnableArchiveButton);
    tvFolders->setStatusSink([this](const QString& status) { SetAppStatus(status); });
    tvFolders->setEventYield([this] { yield(); });

    m_dragger = new dialogs::WindowDragger(*this);
    m_dragger->watch(*this);
    m_dragger->watch(*imgAppName);
    m_dragger->watch(*lblAppStatus);
    connect(lblDetails, &QLabel::linkActivated, this, &frmMain::showReport);
    new dialogs::WebLink(*Label9, QUrl(QString::fromLatin1(dialogs::kProductUrl)),
                         m_services.openUrl);
}

} // namespace kestrel::shell
