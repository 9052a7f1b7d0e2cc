#include "first_edition/FirstEditionAppDelegate.h"

#include "engine/Settings.h"
#include "filelist/FileItem.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "platform/Constants.h"
#include "platform/FolderAccess.h"
#include "platform/NativePath.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/ReportingWorkspace.h"
#include "ui_MainWindow1.h"
#include "ui_OutputSettingsPanel.h"
#include "ui_ProgressPanel.h"
#include "widgets/CustomTableView.h"
#include "widgets/FlowLayout.h"
#include "widgets/SegmentedControl.h"

#include <QActionGroup>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QEvent>
#include <QMainWindow>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>

#include <algorithm>
#include <exception>
#include <limits>
#include <utility>

namespace {

constexpr int kFolderTab = 2;
constexpr int kFormatTab = 0;
constexpr int kHiddenPaneMargin = 5;
constexpr int kShownPaneMargin = 9;

QString reasonOf(const std::exception& e) {
    return QString::fromLocal8Bit(e.what());
}

// Keeps the panes fitted to the window as it is resized.
class ResizeWatcher final : public QObject {
public:
    ResizeWatcher(QObject* parent, std::function<void()> onResize)
        : QObject(parent), m_onResize(std::move(onResize)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            m_onResize();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_onResize;
};

// The settings panel's form as a pane of the window: nothing ends it, so Esc
// or Enter in one of its fields cannot hide it the way they end a dialog.
class SettingsPane final : public QDialog {
public:
    explicit SettingsPane(QWidget* parent) : QDialog(parent, Qt::Widget) {}
    void done(int /*result*/) override {}
};

} // namespace

bool isLionOrLater(const SystemVersion& version) {
    return version.major > 10 || (version.major == 10 && version.minor > 6);
}

SystemVersion runningSystemVersion() {
    // No Linux is one of the older systems the question was made for.
    return {std::numeric_limits<int>::max(), 0};
}

const QString FirstEditionAppDelegate::kShowSettingsKey = QStringLiteral("SHOWSETTINGS");
const QString FirstEditionAppDelegate::kAboutItemIdentifier = QStringLiteral("ABOUT");

FirstEditionAppDelegate::FirstEditionAppDelegate(Services services, QObject* parent)
    : PictavoAppDelegate(std::move(services), parent) {
    Q_INIT_RESOURCE(first_edition);
}

FirstEditionAppDelegate::~FirstEditionAppDelegate() {
    stopWorkers();
}

QToolBar* FirstEditionAppDelegate::toolbar() const {
    return m_ui1 ? m_ui1->toolbar : nullptr;
}

// ---- the window ----

void FirstEditionAppDelegate::buildWindow() {
    m_window = std::make_unique<QMainWindow>();
    m_ui1 = std::make_unique<Ui::MainWindow1>();
    m_ui1->setupUi(m_window.get());
    // The list pane is narrow beside the settings: its rows wrap rather than
    // clip their captions.
    FlowLayout::replaceRow(std::exchange(m_ui1->listButtons, nullptr));
    FlowLayout::replaceRow(std::exchange(m_ui1->selectionButtons, nullptr));
    FlowLayout::replaceRow(std::exchange(m_ui1->statusLayout, nullptr));
    embedSettingsPanel();
    m_parts = WindowParts::of(*m_window);
    // The label is the hint; drops pass through it to the table.
    m_ui1->lableDragAndDrop->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_parts.mainTableView->setDrawsDropHint(false);
    m_window->centralWidget()->installEventFilter(
        new ResizeWatcher(m_window.get(), [this] { followWindowSize(); })); // owned by the window
}

void FirstEditionAppDelegate::embedSettingsPanel() {
    // The settings panel of the other window, as a pane: no sheet buttons, no
    // page-number digits.
    m_outputSettingPanel = new SettingsPane(m_ui1->rightBox); // owned by the pane
    m_panelUi = std::make_unique<Ui::OutputSettingsPanel>();
    m_panelUi->setupUi(m_outputSettingPanel);
    m_outputSettingPanel->setWindowFlags(Qt::Widget);
    m_outputSettingPanel->setMinimumSize(0, 0); // the pane decides its width
    m_ui1->settingsLayout->addWidget(m_outputSettingPanel);
    Ui::OutputSettingsPanel& panel = *m_panelUi;
    delete panel.optionTabSegmented; // never shown in this window
    panel.optionTabSegmented = nullptr;
    delete panel.closeOutputSettingBtn;
    panel.closeOutputSettingBtn = nullptr;
    panel.namesLayout->removeRow(panel.fileNameLeadingZerosLabel);
    panel.fileNameLeadingZerosLabel = nullptr;
    panel.fileNameLeadingZerosText = nullptr;
    panel.fileNameLeadingZerosStepper = nullptr;
    m_settingTabs = new QTabBar(m_outputSettingPanel); // owned by the panel
    m_settingTabs->setObjectName(QStringLiteral("settingTabs"));
    m_settingTabs->setExpanding(true);
    m_settingTabs->setUsesScrollButtons(false);
    panel.panelLayout->insertWidget(0, m_settingTabs);
}

void FirstEditionAppDelegate::setupSettingsTabs() {
    for (const char* title : {"Format", "File Names", "Folder"}) {
        m_settingTabs->addTab(QString::fromUtf8(title));
    }
    // A bar out of sight (the pane hidden at start) lays its new tabs out
    // without telling the pane's layout, which would keep it zero high.
    m_settingTabs->updateGeometry();
    QStackedWidget* pages = m_panelUi->settingTabView;
    m_settingTabs->setCurrentIndex(pages->currentIndex());
    connect(m_settingTabs, &QTabBar::currentChanged, pages, &QStackedWidget::setCurrentIndex);
    connect(pages, &QStackedWidget::currentChanged, m_settingTabs, &QTabBar::setCurrentIndex);
    fitPaneToItsPages();
    // Both check boxes need a folder to act on.
    connect(m_settings.get(), &Settings::outputFolderPathChanged, this, [this](const QString& p) {
        m_panelUi->openFolderAfterConversionBtn->setEnabled(!p.isEmpty());
    });
}

void FirstEditionAppDelegate::fitPaneToItsPages() {
    // As wide as its widest page needs, so that no caption is cut; the window
    // keeps room for it beside the list.
    QWidget* pane = m_ui1->rightBox;
    pane->resize(std::max(pane->width(), pane->minimumSizeHint().width()), pane->height());
    const int least = pane->width() + kShownPaneMargin + m_ui1->leftBox->minimumSizeHint().width();
    m_window->setMinimumWidth(std::max(m_window->minimumWidth(), least));
    followWindowSize();
}

void FirstEditionAppDelegate::setupCommands() {
    Ui::MainWindow1& ui = *m_ui1;
    const auto on = [this](QAbstractButton* button, auto command) {
        connect(button, &QAbstractButton::clicked, this, command);
    };
    on(ui.addFilesBtn, [this] { addFiles(); });
    on(ui.addFolderBtn, [this] { addFolder(); });
    on(ui.searchBtn, [this] { searchFolders(); });
    on(ui.importBtn, [this] { importAction(); });
    on(ui.removeBtn, [this] { selectDeselectRemoveAll(RemoveSelectedRows); });
    on(ui.convertBtn, [this] { convertAction(); });
    on(ui.openFileButton, [this] { openFiles(); });
    on(ui.getInfoButton, [this] { getInfo(); });
    on(ui.openEnclosedFolderButton, [this] { openEnclodingFolder(); });
    on(ui.selectAllButton, [this] { selectDeselectRemoveAll(SelectAllRows); });
    on(ui.deselectAllButton, [this] { m_parts.mainTableView->clearSelection(); });
    on(ui.removeSelectedFilesButton, [this] { selectDeselectRemoveAll(RemoveSelectedRows); });
    on(ui.removeAllFilesButton, [this] { selectDeselectRemoveAll(RemoveAllFiles); });
    on(ui.moveUpButton, [this] { moveUp(); });
    on(ui.moveDownButton, [this] { moveDown(); });
    connect(ui.preferencesToolbarItem, &QAction::triggered, this, [this] { toggleSettings(); });
    connect(ui.exportToolbarItem, &QAction::triggered, this, [this] { exportAction(); });
    auto* selection = new QActionGroup(m_window.get()); // owned by the window
    selection->addAction(ui.preferencesToolbarItem);
    selection->addAction(ui.dummyToolbarItem);
    QStyle* style = m_window->style();
    ui.preferencesToolbarItem->setIcon(QIcon::fromTheme(
        QStringLiteral("preferences-system"), style->standardIcon(QStyle::SP_FileDialogInfoView)));
    ui.exportToolbarItem->setIcon(QIcon::fromTheme(
        QStringLiteral("document-export"), style->standardIcon(QStyle::SP_DialogSaveButton)));
    setMoveEnabled(false, false);
}

void FirstEditionAppDelegate::setupToolbarAndMenuItems() {
    PictavoAppDelegate::setupToolbarAndMenuItems();
    QToolBar* bar = m_ui1->toolbar;
    bar->setMovable(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const QAction* item : bar->actions()) {
        if (item->data().toString() == kAboutItemIdentifier) {
            return;
        }
    }
    QAction* about = toolbarItemForIdentifier(kAboutItemIdentifier, true);
    bar->insertAction(bar->actions().value(0), about);
}

QAction* FirstEditionAppDelegate::toolbarItemForIdentifier(const QString& identifier,
                                                           bool /*willBeInserted*/) {
    if (identifier != kAboutItemIdentifier) {
        return nullptr;
    }
    auto* item = new QAction(QStringLiteral("About"), m_ui1->toolbar); // owned by the toolbar
    item->setObjectName(QStringLiteral("aboutToolbarItem"));
    item->setData(identifier);
    item->setProperty("paletteLabel", QStringLiteral("ABOUT"));
    item->setToolTip(QStringLiteral("About ") + StringUtilities::getAppTitle(edition()));
    item->setIcon(QIcon(QStringLiteral(":/first_edition/user.png")));
    connect(item, &QAction::triggered, this, [this] { aboutAction(); });
    return item;
}

void FirstEditionAppDelegate::markAccessLetters() {
    const Ui::MainWindow1& ui = *m_ui1;
    const std::pair<QAbstractButton*, const char*> marks[] = {
        {ui.removeBtn, "r"},
        {ui.importBtn, "i"},
        {ui.addFilesBtn, "f"},
        {ui.addFolderBtn, "o"},
        {ui.inculdeSubfoldersBtn, "u"},
        {ui.convertBtn, "s"},
        {m_panelUi->setCurrentAsDefaultOutputFolderPathBtn, "d"},
        {m_panelUi->openFolderAfterConversionBtn, "p"},
        {m_progressUi->viewLogBtn, "l"},
        {m_progressUi->cancelProcessBtn, "c"},
    };
    for (const auto& [button, letter] : marks) {
        setButtonKeyCharacter(button, QString::fromLatin1(letter));
    }
}

// ---- the settings pane ----

void FirstEditionAppDelegate::setupSettingsArea() {
    Preferences* store = m_services.preferences;
    const QVariant stored = store != nullptr ? store->value(kShowSettingsKey) : QVariant();
    if (stored.isValid()) {
        m_showSettings = stored.toBool();
    } else {
        m_showSettings = true;
        if (store != nullptr) {
            store->setValue(kShowSettingsKey, true);
        }
    }
    showSettings(m_showSettings);
}

void FirstEditionAppDelegate::toggleSettings() {
    m_showSettings = !m_showSettings;
    if (m_services.preferences != nullptr) {
        m_services.preferences->setValue(kShowSettingsKey, m_showSettings);
    }
    showSettings(m_showSettings);
}

void FirstEditionAppDelegate::showSettings(bool show) {
    try {
        (show ? m_ui1->preferencesToolbarItem : m_ui1->dummyToolbarItem)->setChecked(true);
        m_ui1->rightBox->setVisible(show);
        fitPanes();
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(showSettings:)"), reasonOf(e));
    }
}

void FirstEditionAppDelegate::fitPanes() {
    QWidget* left = m_ui1->leftBox;
    const QWidget* right = m_ui1->rightBox;
    const int windowWidth = m_window->width();
    const int width = right->isHidden() ? windowWidth - kHiddenPaneMargin
                                        : windowWidth - right->width() - kShownPaneMargin;
    left->setGeometry(left->x(), left->y(), qMax(0, width), left->height());
}

void FirstEditionAppDelegate::followWindowSize() {
    // Both panes take the window's height, the settings pane its right edge.
    const int height = m_window->centralWidget()->height();
    QWidget* right = m_ui1->rightBox;
    right->setGeometry(m_window->width() - right->width(), right->y(), right->width(), height);
    QWidget* left = m_ui1->leftBox;
    left->resize(left->width(), height);
    fitPanes();
}

void FirstEditionAppDelegate::showOutputSettings() {
    if (!m_showSettings) {
        toggleSettings();
    }
}

void FirstEditionAppDelegate::chooseOutputFolder() {
    OpenPanelRequest request;
    request.message = QStringLiteral("Select Output Folder:");
    request.canChooseFiles = false;
    request.canChooseDirectories = true;
    request.allowsMultipleSelection = false;
    request.canCreateDirectories = true;
    if (m_services.dialogs != nullptr) {
        m_services.dialogs->beginOpenPanel(m_window.get(), request,
                                           [this](bool accepted, const QStringList& paths) {
                                               openPanelOutputFolderDidEnd(accepted ? 1 : 0, paths);
                                           });
    }
}

// ---- the view ----

void FirstEditionAppDelegate::resetView(bool enable) {
    const bool hasFiles = m_files->size() > 0;
    try {
        Ui::MainWindow1& ui = *m_ui1;
        ui.removeBtn->setEnabled(enable && hasFiles);
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui.importBtn, ui.addFilesBtn, ui.addFolderBtn, ui.searchBtn,
                 ui.inculdeSubfoldersBtn, m_parts.mainTableView}) {
            control->setEnabled(enable);
        }
        for (QAction* item : ui.toolbar->actions()) {
            item->setEnabled(enable);
        }
        ui.exportToolbarItem->setEnabled(enable && hasFiles);
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui.openFileButton, ui.getInfoButton, ui.openEnclosedFolderButton,
                 ui.selectAllButton, ui.deselectAllButton, ui.removeSelectedFilesButton,
                 ui.removeAllFilesButton}) {
            control->setEnabled(enable && hasFiles);
        }
        const bool hasFolder = !m_settings->outputFolderPath().isEmpty();
        if (!hasFolder) {
            m_settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
        }
        m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(hasFolder);
        m_panelUi->openFolderAfterConversionBtn->setEnabled(hasFolder);
        m_panelUi->qualityText->setText(qualityPercentText(m_settings->jpegQuality()));
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(resetView:)"), reasonOf(e));
    }
    m_ui1->lableDragAndDrop->setVisible(!hasFiles);
    m_window->update();
}

bool FirstEditionAppDelegate::isCommandEnabled(Command command) const {
    const Ui::MainWindow1& ui = *m_ui1;
    switch (command) {
    case Command::AddFiles:
        return ui.addFilesBtn->isEnabled();
    case Command::Remove:
        return ui.removeBtn->isEnabled();
    case Command::RemoveAll:
        return ui.removeAllFilesButton->isEnabled();
    case Command::IncludeSubfolders:
        return ui.inculdeSubfoldersBtn->isEnabled();
    case Command::Import:
        return ui.importBtn->isEnabled();
    case Command::Export:
        return ui.exportToolbarItem->isEnabled();
    case Command::Logs:
        return m_parts.mainTableView->isEnabled();
    case Command::Settings:
        return ui.preferencesToolbarItem->isEnabled();
    }
    return false;
}

void FirstEditionAppDelegate::setConvertEnabled(bool enabled) {
    m_ui1->convertBtn->setEnabled(enabled);
}

bool FirstEditionAppDelegate::isConvertEnabled() const {
    return m_ui1->convertBtn->isEnabled();
}

void FirstEditionAppDelegate::setMoveEnabled(bool up, bool down) {
    m_ui1->moveUpButton->setEnabled(up);
    m_ui1->moveDownButton->setEnabled(down);
}

bool FirstEditionAppDelegate::isMoveEnabled(bool up) const {
    return (up ? m_ui1->moveUpButton : m_ui1->moveDownButton)->isEnabled();
}

void FirstEditionAppDelegate::refreshTableForRowCount() {
    // Grid and row colours stay as the window has them.
    tableViewSelectionDidChange();
}

// ---- adding files ----

void FirstEditionAppDelegate::restoreListChoices() {
    QCheckBox* include = m_ui1->inculdeSubfoldersBtn;
    include->setChecked(PictavoAppDelegate::inculdeSubfolders());
    m_parts.includeSubfoldersMenuItem->setChecked(include->isChecked());
    connect(include, &QCheckBox::toggled, this, [this](bool on) {
        setInculdeSubfolders(on);
        m_parts.includeSubfoldersMenuItem->setChecked(on);
    });
}

bool FirstEditionAppDelegate::inculdeSubfolders() const {
    return m_ui1->inculdeSubfoldersBtn->isChecked();
}

void FirstEditionAppDelegate::toggleIncludeSubfolders() {
    m_ui1->inculdeSubfoldersBtn->toggle();
}

void FirstEditionAppDelegate::addFiles() {
    searchAction();
    OpenPanelRequest panel;
    panel.message = QStringLiteral("Select TIFF File(s):");
    panel.canChooseFiles = true;
    panel.canChooseDirectories = false;
    panel.allowsMultipleSelection = true;
    panel.allowedFileTypes = allowedFileTypes();
    m_services.dialogs->beginOpenPanel(m_window.get(), panel,
                                       [this](bool accepted, const QStringList& paths) {
                                           openPanelDidEnd(accepted, paths, false);
                                       });
}

void FirstEditionAppDelegate::searchFolders() {
    searchAction();
    OpenPanelRequest panel;
    panel.message = QStringLiteral("Select folder(s) to search for TIFF File(s):");
    panel.canChooseFiles = false;
    panel.canChooseDirectories = true;
    panel.allowsMultipleSelection = true;
    m_services.dialogs->beginOpenPanel(m_window.get(), panel,
                                       [this](bool accepted, const QStringList& paths) {
                                           if (accepted) {
                                               loadURLs(Arguments::forPaths(paths, true, true));
                                           }
                                       });
}

void FirstEditionAppDelegate::openPanelDidEnd(bool accepted, const QStringList& paths,
                                              bool panelAllowedFolders) {
    if (!accepted) {
        return;
    }
    loadURLs(Arguments::forPaths(paths, panelAllowedFolders, inculdeSubfolders()));
}

bool FirstEditionAppDelegate::acceptDrop(const QList<QUrl>& urls) {
    m_ui1->lableDragAndDrop->hide();
    searchAction();
    Arguments request;
    for (const QUrl& url : urls) {
        if (url.isLocalFile()) {
            request.urls.append(url);
        }
    }
    if (request.urls.isEmpty()) {
        return false;
    }
    request.isFolders = true;
    request.isIncludeSubdirectories = inculdeSubfolders();
    loadURLs(request);
    return false;
}

// ---- list commands ----

void FirstEditionAppDelegate::confirmRemoveAll(const std::function<void()>& remove) {
    if (criticalAlert(QStringLiteral("Are you sure to remove all file(s)?"),
                      {QStringLiteral("Yes"), QStringLiteral("No")}) == kAlertFirstButton) {
        remove();
    }
}

void FirstEditionAppDelegate::getInfo() {
    if (m_desktop == nullptr) {
        return;
    }
    // One item at a time, in row order, each by its path alone; what the
    // desktop could not show is told in one alert.
    const ReportingWorkspace::Batch batch(*m_desktop);
    for (const int row : selectedRows()) {
        try {
            (void)m_desktop->showInformation({m_files->at(row)->filePath().toLocalFile()});
        } catch (const std::exception& e) {
            systemLogError(QStringLiteral("(getInfo)"), reasonOf(e));
        }
    }
}

int FirstEditionAppDelegate::criticalAlert(const QString& message, const QStringList& buttons) {
    AlertRequest alert;
    alert.messageText = StringUtilities::getAppTitle(edition());
    alert.informativeText = message;
    alert.style = AlertStyle::Critical;
    alert.buttons = buttons;
    // Application-modal: no window of its own.
    return m_services.dialogs != nullptr ? m_services.dialogs->runAlert(nullptr, alert)
                                         : kAlertFirstButton + 1;
}

// ---- convert ----

void FirstEditionAppDelegate::convertAction() {
    // A list still being filled is not what the user checked.
    if (isLoading()) {
        return;
    }
    split();
}

void FirstEditionAppDelegate::split() {
    try {
        searchAction();
        const std::shared_ptr<Process> job = makeJob();
        if (!outputFolderIsUsable()) {
            showFolderSettings();
            return;
        }
        m_panelUi->settingTabView->setCurrentIndex(kFormatTab);
        launchJob(job);
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(Split)"), reasonOf(e));
    }
}

bool FirstEditionAppDelegate::outputFolderIsUsable() {
    const QString folder = m_settings->outputFolderPath();
    if (!isLionOrLater(m_systemVersion) && folder.isEmpty()) {
        return criticalAlert(QStringLiteral("No output folder selected, file(s) will be saved in "
                                            "source folder.\nDo you want to continue?"),
                             {QStringLiteral("Yes"), QStringLiteral("No")}) == kAlertFirstButton;
    }
    // A plain file under the folder's name is no folder to write into.
    if (folder.isEmpty() || !NativePath::isDirectory(folder)) {
        (void)criticalAlert(QStringLiteral("Output folder missing or invalid path!\r\nPlease "
                                           "select valid output folder."),
                            {});
        return false;
    }
    if (!mayWriteInto(folder)) {
        (void)criticalAlert(QStringLiteral("Output folder is non-writable!\r\nPlease select "
                                           "writable output folder."),
                            {});
        return false;
    }
    return true;
}

void FirstEditionAppDelegate::showFolderSettings() {
    m_panelUi->settingTabView->setCurrentIndex(kFolderTab);
    if (!m_showSettings) {
        toggleSettings();
    }
    // The control after the folder field: its chooser.
    m_panelUi->chooseOutputFolderBtn->setFocus();
}
