// The first edition's window and its settings pane.
#include "first_edition/FirstEditionWindow.h"

#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "first_edition/FirstEditionSettingsPane.h"
#include "platform/Constants.h"
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
#include <QMainWindow>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>

#include <exception>
#include <utility>

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
    m_pane = std::make_unique<FirstEditionSettingsPane>(context, *m_window, *m_ui1);
    Ui::OutputSettingsPanel& panel = m_pane->embed();
    context.window = m_window.get();
    context.parts = WindowParts::of(*m_window);
    context.panel = &panel;
    // The label is the hint; drops pass through it to the table.
    m_ui1->lableDragAndDrop->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_ctx.parts.mainTableView->setDrawsDropHint(false);
}

void FirstEditionWindow::setupSettingsTabs() {
    m_pane->setupSettingsTabs();
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
    connect(ui.preferencesToolbarItem, &QAction::triggered, this,
            [this] { m_pane->toggleSettings(); });
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
        {m_ctx.panel->setCurrentAsDefaultOutputFolderPathBtn, "d"},
        {m_ctx.panel->openFolderAfterConversionBtn, "p"},
        {m_app.progressSheet().ui().viewLogBtn, "l"},
        {m_app.progressSheet().ui().cancelProcessBtn, "c"},
    };
    for (const auto& [button, letter] : marks) {
        setButtonKeyCharacter(button, QString::fromLatin1(letter));
    }
}

// ---- the settings pane ----

void FirstEditionWindow::setupSettingsArea() {
    m_pane->setupSettingsArea();
}

void FirstEditionWindow::showOutputSettings() {
    m_pane->reveal();
}

// ---- the view ----

void FirstEditionWindow::resetView(bool enable) {
    const bool hasFiles = m_ctx.files->size() > 0;
    logFailures(QStringLiteral("(resetView:)"), [&] {
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
        m_pane->resetView();
    });
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

void FirstEditionWindow::filesDropped() {
    m_ui1->lableDragAndDrop->hide();
}
