// The first edition's window and its settings pane.
#include "first_edition/FirstEditionWindow.h"

#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "platform/Constants.h"
#include "platform/Preferences.h"
#include "platform/SystemLog.h"
#include "shell/ConvertCommand.h"
#include "shell/FileSystemHelper.h"
#include "shell/HelpAndAbout.h"
#include "shell/ImportExport.h"
#include "shell/OutputSettings.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/ProgressSheet.h"
#include "shell/ShellContext.h"
#include "shell/TableCommands.h"
#include "ui_MainWindow1.h"
#include "ui_OutputSettingsPanel.h"
#include "ui_ProgressPanel.h"
#include "widgets/CustomTableView.h"
#include "widgets/FlowLayout.h"

#include <QAction>
#include <QActionGroup>
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
#include <functional>
#include <utility>

namespace {

constexpr int kFolderTab = 2;
constexpr int kHiddenPaneMargin = 5;
constexpr int kShownPaneMargin = 9;

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

const QString FirstEditionWindow::kShowSettingsKey = QStringLiteral("SHOWSETTINGS");
const QString FirstEditionWindow::kAboutItemIdentifier = QStringLiteral("ABOUT");

FirstEditionWindow::FirstEditionWindow(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {
    Q_INIT_RESOURCE(first_edition);
}

FirstEditionWindow::~FirstEditionWindow() = default;

QToolBar* FirstEditionWindow::toolbar() const {
    return m_ui1 ? m_ui1->toolbar : nullptr;
}

// ---- the window ----

void FirstEditionWindow::buildWindow(ShellContext& context) {
    m_window = std::make_unique<QMainWindow>();
    m_ui1 = std::make_unique<Ui::MainWindow1>();
    m_ui1->setupUi(m_window.get());
    // The list pane is narrow beside the settings: its rows wrap rather than
    // clip their captions.
    FlowLayout::replaceRow(std::exchange(m_ui1->listButtons, nullptr));
    FlowLayout::replaceRow(std::exchange(m_ui1->selectionButtons, nullptr));
    FlowLayout::replaceRow(std::exchange(m_ui1->statusLayout, nullptr));
    embedSettingsPanel();
    context.window = m_window.get();
    context.parts = WindowParts::of(*m_window);
    context.panel = m_panelUi.get();
    // The label is the hint; drops pass through it to the table.
    m_ui1->lableDragAndDrop->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_ctx.parts.mainTableView->setDrawsDropHint(false);
    m_window->centralWidget()->installEventFilter(
        new ResizeWatcher(m_window.get(), [this] { followWindowSize(); })); // owned by the window
}

void FirstEditionWindow::embedSettingsPanel() {
    // The settings panel of the other window, as a pane: no sheet buttons, no
    // page-number digits.
    m_ctx.settingsPanel = new SettingsPane(m_ui1->rightBox); // owned by the pane
    m_panelUi = std::make_unique<Ui::OutputSettingsPanel>();
    m_panelUi->setupUi(m_ctx.settingsPanel);
    m_ctx.settingsPanel->setWindowFlags(Qt::Widget);
    m_ctx.settingsPanel->setMinimumSize(0, 0); // the pane decides its width
    m_ui1->settingsLayout->addWidget(m_ctx.settingsPanel);
    Ui::OutputSettingsPanel& panel = *m_panelUi;
    delete panel.optionTabSegmented; // never shown in this window
    panel.optionTabSegmented = nullptr;
    delete panel.closeOutputSettingBtn;
    panel.closeOutputSettingBtn = nullptr;
    panel.namesLayout->removeRow(panel.fileNameLeadingZerosLabel);
    panel.fileNameLeadingZerosLabel = nullptr;
    panel.fileNameLeadingZerosText = nullptr;
    panel.fileNameLeadingZerosStepper = nullptr;
    m_settingTabs = new QTabBar(m_ctx.settingsPanel); // owned by the panel
    m_settingTabs->setObjectName(QStringLiteral("settingTabs"));
    m_settingTabs->setExpanding(true);
    m_settingTabs->setUsesScrollButtons(false);
    panel.panelLayout->insertWidget(0, m_settingTabs);
}

void FirstEditionWindow::setupSettingsTabs() {
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
    connect(m_ctx.settings, &Settings::outputFolderPathChanged, this, [this](const QString& p) {
        m_panelUi->openFolderAfterConversionBtn->setEnabled(!p.isEmpty());
    });
}

void FirstEditionWindow::fitPaneToItsPages() {
    // As wide as its widest page needs, so that no caption is cut; the window
    // keeps room for it beside the list.
    QWidget* pane = m_ui1->rightBox;
    pane->resize(std::max(pane->width(), pane->minimumSizeHint().width()), pane->height());
    const int least = pane->width() + kShownPaneMargin + m_ui1->leftBox->minimumSizeHint().width();
    m_window->setMinimumWidth(std::max(m_window->minimumWidth(), least));
    followWindowSize();
}

void FirstEditionWindow::setupCommands() {
    Ui::MainWindow1& ui = *m_ui1;
    const auto on = [this](QAbstractButton* button, auto command) {
        connect(button, &QAbstractButton::clicked, this, command);
    };
    FileSystemHelper& adding = m_app.fileSystemHelper();
    TableCommands& table = m_app.table();
    on(ui.addFilesBtn, [&adding] { adding.addFiles(); });
    on(ui.addFolderBtn, [&adding] { adding.addFolder(); });
    on(ui.searchBtn, [&adding] { adding.searchFolders(); });
    on(ui.importBtn, [this] { m_app.importExport().importAction(); });
    on(ui.removeBtn,
       [&table] { table.selectDeselectRemoveAll(TableCommands::RemoveSelectedRows); });
    on(ui.convertBtn, [this] { m_app.convert().convertAction(); });
    on(ui.openFileButton, [&table] { table.openFiles(); });
    on(ui.getInfoButton, [&table] { table.getInfo(); });
    on(ui.openEnclosedFolderButton, [&table] { table.openEnclodingFolder(); });
    on(ui.selectAllButton,
       [&table] { table.selectDeselectRemoveAll(TableCommands::SelectAllRows); });
    on(ui.deselectAllButton, [this] { m_ctx.parts.mainTableView->clearSelection(); });
    on(ui.removeSelectedFilesButton,
       [&table] { table.selectDeselectRemoveAll(TableCommands::RemoveSelectedRows); });
    on(ui.removeAllFilesButton,
       [&table] { table.selectDeselectRemoveAll(TableCommands::RemoveAllFiles); });
    on(ui.moveUpButton, [&table] { table.moveUp(); });
    on(ui.moveDownButton, [&table] { table.moveDown(); });
    connect(ui.preferencesToolbarItem, &QAction::triggered, this, [this] { toggleSettings(); });
    connect(ui.exportToolbarItem, &QAction::triggered, this,
            [this] { m_app.importExport().exportAction(); });
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

void FirstEditionWindow::setupToolbarAndMenuItems() {
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

QAction* FirstEditionWindow::toolbarItemForIdentifier(const QString& identifier,
                                                      bool /*willBeInserted*/) {
    if (identifier != kAboutItemIdentifier) {
        return nullptr;
    }
    auto* item = new QAction(QStringLiteral("About"), m_ui1->toolbar); // owned by the toolbar
    item->setObjectName(QStringLiteral("aboutToolbarItem"));
    item->setData(identifier);
    item->setProperty("paletteLabel", QStringLiteral("ABOUT"));
    item->setToolTip(QStringLiteral("About ") + StringUtilities::getAppTitle(m_ctx.edition));
    item->setIcon(QIcon(QStringLiteral(":/first_edition/user.png")));
    connect(item, &QAction::triggered, this, [this] { m_app.help().aboutAction(); });
    return item;
}

void FirstEditionWindow::markAccessLetters() {
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
        {m_app.progressSheet().ui().viewLogBtn, "l"},
        {m_app.progressSheet().ui().cancelProcessBtn, "c"},
    };
    for (const auto& [button, letter] : marks) {
        setButtonKeyCharacter(button, QString::fromLatin1(letter));
    }
}

// ---- the settings pane ----

void FirstEditionWindow::setupSettingsArea() {
    Preferences* store = m_ctx.preferences;
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

void FirstEditionWindow::toggleSettings() {
    m_showSettings = !m_showSettings;
    if (m_ctx.preferences != nullptr) {
        m_ctx.preferences->setValue(kShowSettingsKey, m_showSettings);
    }
    showSettings(m_showSettings);
}

void FirstEditionWindow::showSettings(bool show) {
    try {
        (show ? m_ui1->preferencesToolbarItem : m_ui1->dummyToolbarItem)->setChecked(true);
        m_ui1->rightBox->setVisible(show);
        fitPanes();
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(showSettings:)"), QString::fromLocal8Bit(e.what()));
    }
}

void FirstEditionWindow::fitPanes() {
    QWidget* left = m_ui1->leftBox;
    const QWidget* right = m_ui1->rightBox;
    const int windowWidth = m_window->width();
    const int width = right->isHidden() ? windowWidth - kHiddenPaneMargin
                                        : windowWidth - right->width() - kShownPaneMargin;
    left->setGeometry(left->x(), left->y(), qMax(0, width), left->height());
}

void FirstEditionWindow::followWindowSize() {
    // Both panes take the window's height, the settings pane its right edge.
    const int height = m_window->centralWidget()->height();
    QWidget* right = m_ui1->rightBox;
    right->setGeometry(m_window->width() - right->width(), right->y(), right->width(), height);
    QWidget* left = m_ui1->leftBox;
    left->resize(left->width(), height);
    fitPanes();
}

void FirstEditionWindow::showOutputSettings() {
    if (!m_showSettings) {
        toggleSettings();
    }
}

// ---- the view ----

void FirstEditionWindow::resetView(bool enable) {
    const bool hasFiles = m_ctx.files->size() > 0;
    try {
        Ui::MainWindow1& ui = *m_ui1;
        ui.removeBtn->setEnabled(enable && hasFiles);
        for (QWidget* control : std::initializer_list<QWidget*>{
                 ui.importBtn, ui.addFilesBtn, ui.addFolderBtn, ui.searchBtn,
                 ui.inculdeSubfoldersBtn, m_ctx.parts.mainTableView}) {
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
        const bool hasFolder = !m_ctx.settings->outputFolderPath().isEmpty();
        if (!hasFolder) {
            m_ctx.settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
        }
        m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(hasFolder);
        m_panelUi->openFolderAfterConversionBtn->setEnabled(hasFolder);
        m_panelUi->qualityText->setText(
            OutputSettings::qualityPercentText(m_ctx.settings->jpegQuality()));
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(resetView:)"), QString::fromLocal8Bit(e.what()));
    }
    m_ui1->lableDragAndDrop->setVisible(!hasFiles);
    m_window->update();
}

bool FirstEditionWindow::isCommandEnabled(Command command) const {
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
        return m_ctx.parts.mainTableView->isEnabled();
    case Command::Settings:
        return ui.preferencesToolbarItem->isEnabled();
    }
    return false;
}

void FirstEditionWindow::setConvertEnabled(bool enabled) {
    m_ui1->convertBtn->setEnabled(enabled);
}

bool FirstEditionWindow::isConvertEnabled() const {
    return m_ui1->convertBtn->isEnabled();
}

void FirstEditionWindow::setMoveEnabled(bool up, bool down) {
    m_ui1->moveUpButton->setEnabled(up);
    m_ui1->moveDownButton->setEnabled(down);
}

bool FirstEditionWindow::isMoveEnabled(bool up) const {
    return (up ? m_ui1->moveUpButton : m_ui1->moveDownButton)->isEnabled();
}

void FirstEditionWindow::refreshTableForRowCount() {
    // Grid and row colours stay as the window has them.
    m_app.table().tableViewSelectionDidChange();
}

void FirstEditionWindow::restoreListChoices() {
    QCheckBox* include = m_ui1->inculdeSubfoldersBtn;
    include->setChecked(m_app.fileSystemHelper().inculdeSubfolders());
    m_ctx.parts.includeSubfoldersMenuItem->setChecked(include->isChecked());
    connect(include, &QCheckBox::toggled, this, [this](bool on) {
        m_app.fileSystemHelper().setInculdeSubfolders(on);
        m_ctx.parts.includeSubfoldersMenuItem->setChecked(on);
    });
}

void FirstEditionWindow::toggleIncludeSubfolders() {
    m_ui1->inculdeSubfoldersBtn->toggle();
}

void FirstEditionWindow::showFolderSettings() {
    m_panelUi->settingTabView->setCurrentIndex(kFolderTab);
    if (!m_showSettings) {
        toggleSettings();
    }
    // The control after the folder field: its chooser.
    m_panelUi->chooseOutputFolderBtn->setFocus();
}

void FirstEditionWindow::filesDropped() {
    m_ui1->lableDragAndDrop->hide();
}
