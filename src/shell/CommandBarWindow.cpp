// The current edition's window: its command bar, the view state its
// controls show, and the settings sheet's tabs.
#include "shell/CommandBarWindow.h"

#include "engine/Settings.h"
#include "filelist/FileList.h"
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
#include "shell/WindowFocusFilter.h"
#include "ui_MainWindow.h"
#include "ui_OutputSettingsPanel.h"
#include "ui_ProgressPanel.h"
#include "widgets/CustomTableView.h"
#include "widgets/FlowLayout.h"
#include "widgets/SegmentedControl.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>

#include <exception>
#include <utility>

CommandBarWindow::CommandBarWindow(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

CommandBarWindow::~CommandBarWindow() {
    // The window outlives the form it was built from, and going it loses the
    // focus: its focus tracking must not reach this half-destroyed object.
    if (m_window) {
        for (auto* filter :
             m_window->findChildren<WindowFocusFilter*>(Qt::FindDirectChildrenOnly)) {
            filter->disconnect(this);
        }
    }
}

void CommandBarWindow::setupCommands() {
    setupCommandBar();
    connect(m_ui->navigationSegmented, &SegmentedControl::segmentClicked, this,
            &CommandBarWindow::navigationSegmentedChanged);
    connect(m_ui->filesFoldersSegmented, &SegmentedControl::segmentClicked, this,
            &CommandBarWindow::filesFoldersSegmentedChanged);
    connect(m_ui->commandSegmented, &SegmentedControl::segmentClicked, this,
            &CommandBarWindow::commandSegmentedChanged);
    connect(m_ui->helpSegmented, &SegmentedControl::segmentClicked, this,
            &CommandBarWindow::helpSegmentedChanged);
}

void CommandBarWindow::buildWindow(ShellContext& context) {
    m_window = std::make_unique<QMainWindow>();
    m_ui = std::make_unique<Ui::MainWindow>();
    m_ui->setupUi(m_window.get());
    // A window narrower than the whole command bar wraps it onto a second
    // line rather than clip its captions.
    FlowLayout::replaceRow(std::exchange(m_ui->commandBarLayout, nullptr));
    m_ctx.settingsPanel = new QDialog(m_window.get()); // owned by the window
    m_panelUi = std::make_unique<Ui::OutputSettingsPanel>();
    m_panelUi->setupUi(m_ctx.settingsPanel);
    m_ctx.settingsPanel->setWindowModality(Qt::WindowModal);
    context.window = m_window.get();
    context.parts = WindowParts::of(*m_window);
    context.panel = m_panelUi.get();
}

void CommandBarWindow::windowDidResignMain() {
    m_ui->rightBox->setAutoFillBackground(false);
    m_ctx.parts.mainTableView->viewport()->update();
}

void CommandBarWindow::windowDidBecomeMain() {
    m_ui->rightBox->setAutoFillBackground(true);
    m_ctx.parts.mainTableView->viewport()->update();
}

void CommandBarWindow::installWindowFocusTracking() {
    auto* filter = new WindowFocusFilter(m_window.get()); // owned by the window
    connect(filter, &WindowFocusFilter::activated, this, &CommandBarWindow::windowDidBecomeMain);
    connect(filter, &WindowFocusFilter::deactivated, this, &CommandBarWindow::windowDidResignMain);
    m_window->installEventFilter(filter);
}

void CommandBarWindow::restoreListChoices() {
    m_ui->filesFoldersSegmented->setSelected(2, m_app.fileSystemHelper().inculdeSubfolders());
}

void CommandBarWindow::showOutputSettings() {
    m_ui->commandSegmented->setSelected(0, false);
    m_ctx.settingsPanel->open();
}

void CommandBarWindow::setupCommandBar() {
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

void CommandBarWindow::filesFoldersSegmentedChanged(int segment) {
    SegmentedControl* bar = m_ui->filesFoldersSegmented;
    switch (segment) {
    case 0:
        m_app.fileSystemHelper().addFiles();
        break;
    case 1:
        m_app.table().selectDeselectRemoveAll(TableCommands::RemoveSelectedRows);
        break;
    case 2:
        toggleIncludeSubfolders();
        return; // a toggle: its state shows the setting
    case 3:
        m_app.importExport().importAction();
        break;
    case 4:
        m_app.importExport().exportAction();
        break;
    case 5:
        m_app.help().openLogsFolder();
        break;
    default:
        break;
    }
    bar->setSelected(segment, false);
}

void CommandBarWindow::toggleIncludeSubfolders() {
    const bool include = !m_app.fileSystemHelper().inculdeSubfolders();
    m_app.fileSystemHelper().setInculdeSubfolders(include);
    m_ui->filesFoldersSegmented->setSelected(2, include);
    m_ctx.parts.includeSubfoldersMenuItem->setChecked(include);
}

void CommandBarWindow::commandSegmentedChanged(int segment) {
    switch (segment) {
    case 0:
        showOutputSettings();
        m_ctx.parts.mainTableView->viewport()->update();
        break;
    case 1:
        m_app.convert().convertAction();
        break;
    default:
        break;
    }
    m_ui->commandSegmented->setSelected(segment, false);
}

void CommandBarWindow::helpSegmentedChanged(int segment) {
    switch (segment) {
    case 0:
        m_app.help().websiteAction();
        break;
    case 1:
        m_app.help().helpAction();
        break;
    case 2:
        m_app.help().rateUs();
        return; // stays selected
    default:
        break;
    }
    m_ui->helpSegmented->setSelected(segment, false);
}

void CommandBarWindow::resetView(bool enable) {
    logFailures(QStringLiteral("(resetView:)"), [&] {
        const bool hasFiles = m_ctx.files->size() > 0;
        m_ctx.parts.mainTableView->setEnabled(enable);
        SegmentedControl* files = m_ui->filesFoldersSegmented;
        files->setEnabled(0, enable);
        files->setEnabled(1, enable && hasFiles);
        files->setEnabled(2, enable);
        files->setEnabled(3, enable);
        files->setEnabled(4, enable && hasFiles);
        files->setEnabled(5, enable);
        m_ui->navigationSegmented->setEnabled(2, enable && hasFiles);
        m_ui->recentFoldersPopup->setEnabled(enable);
        m_ui->commandSegmented->setEnabled(0, enable);
        if (!m_ctx.settings->outputFolderPath().isEmpty()) {
            m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(true);
        } else {
            m_ctx.settings->setIsSetCurrentAsDefaultOutputFolderPath(false);
            m_panelUi->setCurrentAsDefaultOutputFolderPathBtn->setEnabled(false);
        }
        m_panelUi->qualityText->setText(
            OutputSettings::qualityPercentText(m_ctx.settings->jpegQuality()));
    });
    m_window->update();
}

void CommandBarWindow::setConvertEnabled(bool enabled) {
    m_ui->commandSegmented->setEnabled(1, enabled);
}

bool CommandBarWindow::isConvertEnabled() const {
    return m_ui->commandSegmented->isEnabled(1);
}

bool CommandBarWindow::isCommandEnabled(Command command) const {
    const SegmentedControl* files = m_ui->filesFoldersSegmented;
    switch (command) {
    case Command::AddFiles:
        return files->isEnabled(0);
    case Command::Remove:
        return files->isEnabled(1);
    case Command::RemoveAll:
        return m_ui->navigationSegmented->isEnabled(2);
    case Command::IncludeSubfolders:
        return files->isEnabled(2);
    case Command::Import:
        return files->isEnabled(3);
    case Command::Export:
        return files->isEnabled(4);
    case Command::Logs:
        return files->isEnabled(5);
    case Command::Settings:
        return m_ui->commandSegmented->isEnabled(0);
    }
    return false;
}

void CommandBarWindow::markAccessLetters() {
    setButtonKeyCharacter(m_panelUi->setCurrentAsDefaultOutputFolderPathBtn, QStringLiteral("d"));
    setButtonKeyCharacter(m_panelUi->openFolderAfterConversionBtn, QStringLiteral("p"));
    setButtonKeyCharacter(m_app.progressSheet().ui().viewLogBtn, QStringLiteral("l"));
    setButtonKeyCharacter(m_app.progressSheet().ui().cancelProcessBtn, QStringLiteral("c"));
}

void CommandBarWindow::refreshTableForRowCount() {
    CustomTableView* table = m_ctx.parts.mainTableView;
    const bool hasRows = m_ctx.files->size() > 0;
    table->setGridStyle(Qt::SolidLine);
    table->setShowGrid(hasRows);
    table->setAlternatingRowColors(hasRows);
    m_app.table().tableViewSelectionDidChange();
}

void CommandBarWindow::setMoveEnabled(bool up, bool down) {
    m_ui->navigationSegmented->setEnabled(0, up);
    m_ui->navigationSegmented->setEnabled(1, down);
}

bool CommandBarWindow::isMoveEnabled(bool up) const {
    return m_ui->navigationSegmented->isEnabled(up ? 0 : 1);
}

void CommandBarWindow::navigationSegmentedChanged(int segment) {
    switch (segment) {
    case 0:
        m_app.table().moveUp();
        break;
    case 1:
        m_app.table().moveDown();
        break;
    case 2:
        m_app.table().selectDeselectRemoveAll(TableCommands::RemoveAllFiles);
        break;
    default:
        break;
    }
    m_ui->navigationSegmented->setSelected(segment, false);
}

void CommandBarWindow::setupSettingsTabs() {
    Ui::OutputSettingsPanel& panel = *m_panelUi;
    SegmentedControl* tabs = panel.optionTabSegmented;
    tabs->setSegmentCount(3);
    tabs->setLabel(0, QStringLiteral("Format"));
    tabs->setLabel(1, QStringLiteral("File Names"));
    tabs->setLabel(2, QStringLiteral("Folder"));
    // The tab view is the one record of the current tab; the segments follow it
    // however it changes.
    const auto showTab = [tabs](int current) {
        for (int i = 0; i < tabs->segmentCount(); ++i) {
            tabs->setSelected(i, i == current);
        }
    };
    showTab(panel.settingTabView->currentIndex());
    connect(panel.settingTabView, &QStackedWidget::currentChanged, tabs, showTab);
    connect(tabs, &SegmentedControl::segmentClicked, this,
            [this](int segment) { m_app.outputSettings().optionTabSegmentedChanged(segment); });
    connect(panel.closeOutputSettingBtn, &QPushButton::clicked, this,
            [this] { m_app.outputSettings().closeOutputSetting(); });
    // Escape ends the sheet too; what was typed is kept all the same.
    connect(m_ctx.settingsPanel, &QDialog::rejected, m_ctx.settings, [this] {
        m_app.outputSettings().commitSettingsFields();
        m_ctx.parts.mainTableView->viewport()->update();
    });
}
