#include "shell/PictavoAppDelegate.h"

#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "platform/Constants.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/FileTableModel.h"
#include "shell/FormatPopups.h"
#include "shell/ReportingWorkspace.h"
#include "shell/WindowFocusFilter.h"
#include "ui_MainWindow.h"
#include "ui_OutputSettingsPanel.h"
#include "ui_ProgressPanel.h"
#include "widgets/CustomTableView.h"
#include "widgets/FlowLayout.h"
#include "widgets/SegmentedControl.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>

#include <utility>

namespace {

constexpr qint64 kReviewFileCountLimit = 500;

} // namespace

PictavoAppDelegate::PictavoAppDelegate(Services services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {}

PictavoAppDelegate::~PictavoAppDelegate() {
    stopWorkers();
    // The window's table model reads the list, so the window goes first.
    m_window.reset();
}

void PictavoAppDelegate::onMainThread(const std::function<void()>& body) {
    runOnThreadOf(this, body);
}

void PictavoAppDelegate::awakeFromNib() {
    buildWindow();
    if (m_services.workspace != nullptr) {
        m_desktop = std::make_unique<ReportingWorkspace>(
            *m_services.workspace, [this](const QString& message) { tellDesktopFailure(message); });
    }
    fillFormatPopups(m_panelUi->outputTypePopup, m_panelUi->tiffCompressionPopup);
    // 1
    m_window->setWindowTitle(StringUtilities::getAppTitle(edition()));
    // 2: failures leave the writers of those folders to fail in their own way.
    if (StringUtilities::createApplicationUsersFolder(edition(), QString())) {
        (void)StringUtilities::createApplicationUsersFolder(edition(), QStringLiteral("Logs"));
    }
    // 3, 4
    m_files = std::make_unique<FileList>();
    (void)allowedFileTypes();
    // 5
    m_settings =
        std::make_unique<Settings>(m_services.preferences, edition().hasLeadingZerosOption);
    m_isProcessing = false;
    m_process = std::make_shared<Process>();
    m_model = new FileTableModel(*m_files, m_window.get()); // owned by the window
    setupTable();
    setupCommands();
    // 6
    setSplitOptions(m_settings->outputType());
    // 9
    m_panelUi->settingTabView->setCurrentIndex(0);
    // 10
    resetView(true);
    // 12
    setupVersion();
    setupToolbarAndMenuItems();
    // 13: drops are handled by the table's own signal.
    connectCommands();
    installWindowFocusTracking();
    // 14
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    setupConvertCommand();
    setupTableCommands();
    // 7 done: the context menu is installed.
    setupSettingsArea();
    // 8
    markAccessLetters();
    setupOutputSettings();
    // 15
    setupUsagesReport();
    // 16 to 19
    restoreListChoices();
}

void PictavoAppDelegate::restoreListChoices() {
    m_ui->filesFoldersSegmented->setSelected(2, inculdeSubfolders());
    loadStoredRecentItems();
    connect(m_ui->recentFoldersPopup, &QComboBox::activated, this,
            &PictavoAppDelegate::recentFolderChanged);
}

void PictavoAppDelegate::storeListChoices() {
    if (m_services.preferences != nullptr) {
        m_services.preferences->setValue(RecentItem::kPreferencesKey, recentItemsData());
    }
}

void PictavoAppDelegate::setupCommands() {
    setupCommandBar();
    connect(m_ui->filesFoldersSegmented, &SegmentedControl::segmentClicked, this,
            &PictavoAppDelegate::filesFoldersSegmentedChanged);
    connect(m_ui->commandSegmented, &SegmentedControl::segmentClicked, this,
            &PictavoAppDelegate::commandSegmentedChanged);
    connect(m_ui->helpSegmented, &SegmentedControl::segmentClicked, this,
            &PictavoAppDelegate::helpSegmentedChanged);
}

void PictavoAppDelegate::setupUsagesReport() {
    if (m_services.dialogs == nullptr || m_services.workspace == nullptr) {
        return;
    }
    m_usagesReport = new UsagesReportingWindowController( // a child of this
        m_window.get(), *m_services.dialogs, *m_desktop, edition(), this);
    UsageStore& store = m_usagesReport->store();
    store.setReviewFileCountLimit(kReviewFileCountLimit);
    store.setIsReviewEnabled(true);
    store.setReviewURL(StringUtilities::siteAddress() + QStringLiteral("/review.php?pid=2015"));
    if (store.features().empty()) {
        store.features().push_back(
            FeatureUsages::initWithName(QStringLiteral("Output Files"), 1, 0));
        (void)store.save();
    }
}

void PictavoAppDelegate::applicationDidFinishLaunching() {
    if (m_usagesReport != nullptr) {
        m_usagesReport->validate(false);
    }
}

void PictavoAppDelegate::buildWindow() {
    m_window = std::make_unique<QMainWindow>();
    m_ui = std::make_unique<Ui::MainWindow>();
    m_ui->setupUi(m_window.get());
    // A window narrower than the whole command bar wraps it onto a second
    // line rather than clip its captions.
    FlowLayout::replaceRow(std::exchange(m_ui->commandBarLayout, nullptr));
    m_outputSettingPanel = new QDialog(m_window.get()); // owned by the window
    m_panelUi = std::make_unique<Ui::OutputSettingsPanel>();
    m_panelUi->setupUi(m_outputSettingPanel);
    m_outputSettingPanel->setWindowModality(Qt::WindowModal);
    m_parts = WindowParts::of(*m_window);
}

bool PictavoAppDelegate::isLoading() const {
    return m_loaderRunning.load();
}

bool PictavoAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    if (hasVisibleWindows && m_window->isVisible()) {
        return false;
    }
    m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
    return true;
}

void PictavoAppDelegate::windowDidResignMain() {
    if (!m_ui) {
        return; // the first edition does not follow activation
    }
    m_ui->rightBox->setAutoFillBackground(false);
    m_parts.mainTableView->viewport()->update();
}

void PictavoAppDelegate::windowDidBecomeMain() {
    if (!m_ui) {
        return;
    }
    m_ui->rightBox->setAutoFillBackground(true);
    m_parts.mainTableView->viewport()->update();
}

void PictavoAppDelegate::installWindowFocusTracking() {
    auto* filter = new WindowFocusFilter(m_window.get()); // owned by the window
    connect(filter, &WindowFocusFilter::activated, this, &PictavoAppDelegate::windowDidBecomeMain);
    connect(filter, &WindowFocusFilter::deactivated, this,
            &PictavoAppDelegate::windowDidResignMain);
    m_window->installEventFilter(filter);
}

QString PictavoAppDelegate::timeLabelText(const QString& time, int done, int total) const {
    return QStringLiteral("Total Time Taken : %1 %2/%3").arg(time).arg(done).arg(total);
}

void PictavoAppDelegate::setupCommandBar() {
    struct Segment {
        const char* label;
        const char* tip;
        const char* themeIcon;           // the desktop's icon theme
        QStyle::StandardPixmap fallback; // when the theme has none
    };
    QStyle* style = m_window->style();
    const auto fill = [style](SegmentedControl* control, std::initializer_list<Segment> segments) {
        control->setSegmentCount(static_cast<int>(segments.size()));
        int i = 0;
        for (const Segment& s : segments) {
            control->setLabel(i, QString::fromUtf8(s.label));
            control->setToolTip(i, QString::fromUtf8(s.tip));
            control->setIcon(i, QIcon::fromTheme(QString::fromUtf8(s.themeIcon),
                                                 style->standardIcon(s.fallback)));
            ++i;
        }
    };
    fill(m_ui->filesFoldersSegmented,
         {{"Add Files", "Add TIFF files to the list (Ctrl+O)", "list-add", QStyle::SP_FileIcon},
          {"Remove", "Remove the selected files from the list (Del)", "list-remove",
           QStyle::SP_DialogDiscardButton},
          {"Subfolders", "Include subfolders when adding folders", "folder", QStyle::SP_DirIcon},
          {"Import", "Import a list of file paths (Ctrl+I)", "document-import",
           QStyle::SP_DialogOpenButton},
          {"Export", "Save the list as tab-delimited text (Ctrl+E)", "document-export",
           QStyle::SP_DialogSaveButton},
          {"Logs", "Open the folder of conversion logs", "folder-documents",
           QStyle::SP_FileDialogDetailedView}});
    fill(m_ui->navigationSegmented,
         {{"Up", "Move the selected files up (Ctrl+Up)", "go-up", QStyle::SP_ArrowUp},
          {"Down", "Move the selected files down (Ctrl+Down)", "go-down", QStyle::SP_ArrowDown},
          {"Remove All", "Remove every file from the list", "edit-clear-all",
           QStyle::SP_DialogResetButton}});
    fill(m_ui->commandSegmented, {{"Settings", "Output format, file names and folder (Ctrl+,)",
                                   "preferences-system", QStyle::SP_FileDialogInfoView},
                                  {"Convert", "Convert the checked files (Ctrl+R)",
                                   "media-playback-start", QStyle::SP_MediaPlay}});
    fill(m_ui->helpSegmented,
         {{"Website", "Visit the product's web site", "internet-web-browser",
           QStyle::SP_DriveNetIcon},
          {"Help", "Open the user guide (F1)", "help-contents", QStyle::SP_DialogHelpButton},
          {"Rate", "Write a review", "emblem-favorite", QStyle::SP_DialogYesButton}});
    // Moving follows the table's selection; nothing is selected yet.
    m_ui->navigationSegmented->setEnabled(0, false);
    m_ui->navigationSegmented->setEnabled(1, false);
}

namespace {

// A dropped URL carries the name's bytes percent-escaped; toLocalFile() would
// read them as UTF-8 and lose any that are not.
QList<QUrl> droppedUrls(const QList<QUrl>& urls) {
    QList<QUrl> local;
    for (const QUrl& url : urls) {
        local.append(url.isLocalFile() ? QUrl::fromLocalFile(NativePath::pathOfSystemUrl(url))
                                       : url);
    }
    return local;
}

} // namespace

void PictavoAppDelegate::connectCommands() {
    connect(m_parts.mainTableView, &CustomTableView::urlsDropped, this,
            [this](const QList<QUrl>& urls) { (void)acceptDrop(droppedUrls(urls)); });
    connect(m_parts.cancelBtn, &QPushButton::clicked, this, &PictavoAppDelegate::cancelAction);
    m_parts.includeSubfoldersMenuItem->setChecked(inculdeSubfolders());
    connect(m_parts.quitMenuItem, &QAction::triggered, this, &PictavoAppDelegate::quitAction);
    installQuitRequests();
    connect(m_parts.minimizeMenuItem, &QAction::triggered, m_window.get(), &QWidget::showMinimized);
    connect(m_parts.showMainWindowMenuItem, &QAction::triggered, this,
            [this] { (void)applicationShouldHandleReopen(false); });
}

void PictavoAppDelegate::filesFoldersSegmentedChanged(int segment) {
    SegmentedControl* bar = m_ui->filesFoldersSegmented;
    switch (segment) {
    case 0:
        addFiles();
        break;
    case 1:
        selectDeselectRemoveAll(RemoveSelectedRows);
        break;
    case 2:
        toggleIncludeSubfolders();
        return; // a toggle: its state shows the setting
    case 3:
        importAction();
        break;
    case 4:
        exportAction();
        break;
    case 5:
        openLogsFolder();
        break;
    default:
        break;
    }
    bar->setSelected(segment, false);
}

void PictavoAppDelegate::toggleIncludeSubfolders() {
    const bool include = !inculdeSubfolders();
    setInculdeSubfolders(include);
    m_ui->filesFoldersSegmented->setSelected(2, include);
    m_parts.includeSubfoldersMenuItem->setChecked(include);
}

void PictavoAppDelegate::commandSegmentedChanged(int segment) {
    switch (segment) {
    case 0:
        showOutputSettings();
        m_parts.mainTableView->viewport()->update();
        break;
    case 1:
        convertAction();
        break;
    default:
        break;
    }
    m_ui->commandSegmented->setSelected(segment, false);
}

void PictavoAppDelegate::helpSegmentedChanged(int segment) {
    switch (segment) {
    case 0:
        websiteAction();
        break;
    case 1:
        helpAction();
        break;
    case 2:
        rateUs();
        return; // stays selected
    default:
        break;
    }
    m_ui->helpSegmented->setSelected(segment, false);
}

void PictavoAppDelegate::openLogsFolder() {
    if (Workspace* workspace = desktop()) {
        (void)workspace->openFile(
            StringUtilities::appSubfolderPath(edition(), QStringLiteral("Logs")));
    }
}

Workspace* PictavoAppDelegate::desktop() const {
    return m_desktop.get();
}

QWidget* PictavoAppDelegate::alertWindow() const {
    if (edition().hasApplicationModalAlerts) {
        return nullptr;
    }
    // A link in the About sheet, View Log in the progress sheet: the alert
    // goes on the sheet the user is looking at.
    for (QWidget* front : {QApplication::activeModalWidget(), QApplication::activeWindow()}) {
        if (front != nullptr && (front == m_window.get() || m_window->isAncestorOf(front))) {
            return front;
        }
    }
    return m_window.get();
}

void PictavoAppDelegate::tellDesktopFailure(const QString& message) {
    if (m_quitting || m_services.dialogs == nullptr) {
        return;
    }
    AlertRequest alert;
    alert.messageText = StringUtilities::getAppTitle(edition());
    alert.informativeText = message;
    alert.style = AlertStyle::Warning;
    // Not the waiting form: a worker may be waiting on this thread for the request.
    m_services.dialogs->beginAlert(alertWindow(), alert, [](int) {});
}

void PictavoAppDelegate::setupTable() {
    CustomTableView* table = m_parts.mainTableView;
    table->setModel(m_model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
    table->setWordWrap(false);
    QHeaderView* header = table->horizontalHeader();
    header->setSectionsMovable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(true);
    header->setSortIndicator(-1, Qt::AscendingOrder); // walk order until a header is clicked
    table->setSortingEnabled(true);
    const struct {
        const char* key;
        int width;
        bool hidden;
    } columns[] = {
        {"isselected", 28, false},  {"name", 240, false},        {"pages", 60, false},
        {"sizeInKB", 80, false},    {"type", 60, false},         {"dateModified", 150, false},
        {"dateCreated", 150, true}, {"dateAccessed", 150, true}, {"location", 260, false}};
    for (const auto& c : columns) {
        const int section = FileTableModel::columnOf(QString::fromUtf8(c.key));
        header->resizeSection(section, c.width);
        header->setSectionHidden(section, c.hidden);
    }
    header->setSectionResizeMode(FileTableModel::columnOf(QStringLiteral("isselected")),
                                 QHeaderView::Fixed);
    connect(m_model, &FileTableModel::checkToggled, this, [this] { updateTotalLabel(); });
}
