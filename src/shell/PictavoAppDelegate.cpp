#include "shell/PictavoAppDelegate.h"

#include "engine/Settings.h"
#include "filelist/FileList.h"
#include "filelist/FolderWalker.h"
#include "platform/Constants.h"
#include "platform/ThreadHandOff.h"
#include "platform/Workspace.h"
#include "shell/ColumnChooser.h"
#include "shell/CommandBarWindow.h"
#include "shell/ConvertCommand.h"
#include "shell/Dialogs.h"
#include "shell/EditionWindow.h"
#include "shell/FileSystemHelper.h"
#include "shell/FileTableModel.h"
#include "shell/FormatPopups.h"
#include "shell/HelpAndAbout.h"
#include "shell/Helper.h"
#include "shell/ImportExport.h"
#include "shell/OutputSettings.h"
#include "shell/ProgressSheet.h"
#include "shell/RecentFolders.h"
#include "shell/ReportingWorkspace.h"
#include "shell/TableCommands.h"
#include "shell/UsageAndReview.h"
#include "shell/ViewHelper.h"
#include "ui_OutputSettingsPanel.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QStackedWidget>

#include <utility>

// In the order they are made; they go in the reverse order, the window first,
// as its table model reads the list.
struct PictavoAppDelegate::Groups {
    ViewHelper status;
    FileSystemHelper adding;
    TableCommands table;
    ColumnChooser columns;
    ImportExport importExport;
    std::unique_ptr<RecentFolders> recentFolders;
    OutputSettings outputSettings;
    std::unique_ptr<ConvertCommand> convert;
    ProgressSheet progressSheet;
    UsageAndReview usage;
    HelpAndAbout help;
    Helper menus;
    std::unique_ptr<EditionWindow> window;

    Groups(PictavoAppDelegate& app, const EditionGroups& edition)
        : status(app), adding(app), table(app), columns(app), importExport(app),
          recentFolders(edition.hasRecentFolders ? std::make_unique<RecentFolders>(app) : nullptr),
          outputSettings(app), convert(edition.makeConvert ? edition.makeConvert(app)
                                                           : std::make_unique<ConvertCommand>(app)),
          progressSheet(app), usage(app), help(app), menus(app), window(edition.makeWindow(app)) {}
};

EditionGroups EditionGroups::current() {
    EditionGroups groups;
    groups.makeWindow = [](PictavoAppDelegate& app) {
        return std::make_unique<CommandBarWindow>(app);
    };
    return groups;
}

PictavoAppDelegate::PictavoAppDelegate(Services services, EditionGroups groups, QObject* parent)
    : QObject(parent), m_groups(std::move(groups)) {
    m_context.preferences = services.preferences;
    m_context.workspace = services.workspace;
    m_context.dialogs = services.dialogs;
    m_context.edition = std::move(services.edition);
    m_commandGroups = std::make_unique<Groups>(*this, m_groups);
}

PictavoAppDelegate::~PictavoAppDelegate() {
    stopWorkers();
    // The window's table model reads the list, so the window goes first.
    m_commandGroups->window.reset();
}

EditionWindow& PictavoAppDelegate::editionWindow() const {
    return *m_commandGroups->window;
}
ViewHelper& PictavoAppDelegate::viewHelper() const {
    return m_commandGroups->status;
}
FileSystemHelper& PictavoAppDelegate::fileSystemHelper() const {
    return m_commandGroups->adding;
}
TableCommands& PictavoAppDelegate::table() const {
    return m_commandGroups->table;
}
ColumnChooser& PictavoAppDelegate::columns() const {
    return m_commandGroups->columns;
}
ImportExport& PictavoAppDelegate::importExport() const {
    return m_commandGroups->importExport;
}
RecentFolders* PictavoAppDelegate::recentFolders() const {
    return m_commandGroups->recentFolders.get();
}
OutputSettings& PictavoAppDelegate::outputSettings() const {
    return m_commandGroups->outputSettings;
}
ConvertCommand& PictavoAppDelegate::convert() const {
    return *m_commandGroups->convert;
}
ProgressSheet& PictavoAppDelegate::progressSheet() const {
    return m_commandGroups->progressSheet;
}
UsageAndReview& PictavoAppDelegate::usage() const {
    return m_commandGroups->usage;
}
HelpAndAbout& PictavoAppDelegate::help() const {
    return m_commandGroups->help;
}

void PictavoAppDelegate::onMainThread(const std::function<void()>& body) {
    runOnThreadOf(this, body);
}

void PictavoAppDelegate::awakeFromNib() {
    Groups& g = *m_commandGroups;
    EditionWindow& window = *g.window;
    window.buildWindow(m_context);
    setupDesktop();
    fillFormatPopups(m_context.panel->outputTypePopup, m_context.panel->tiffCompressionPopup);
    // 1
    m_context.window->setWindowTitle(StringUtilities::getAppTitle(edition()));
    // 2: failures leave the writers of those folders to fail in their own way.
    if (StringUtilities::createApplicationUsersFolder(edition(), QString())) {
        (void)StringUtilities::createApplicationUsersFolder(edition(), QStringLiteral("Logs"));
    }
    // 3, 4
    m_files = std::make_unique<FileList>();
    m_context.files = m_files.get();
    (void)allowedFileTypes();
    // 5
    m_settings = std::make_unique<Settings>(m_context.preferences, edition().hasLeadingZerosOption);
    m_context.settings = m_settings.get();
    m_context.isProcessing = false;
    m_context.model = new FileTableModel(*m_files, m_context.window); // owned by the window
    g.columns.setupTable();
    window.setupCommands();
    // 6
    g.outputSettings.setSplitOptions(m_settings->outputType());
    // 9
    m_context.panel->settingTabView->setCurrentIndex(0);
    // 10
    window.resetView(true);
    // 12
    g.help.setupVersion();
    g.menus.setupToolbarAndMenuItems();
    window.setupToolbarAndMenuItems();
    // 13: drops are handled by the table's own signal.
    g.adding.setupAdding();
    installQuitRequests();
    g.menus.connectWindowItems();
    window.installWindowFocusTracking();
    // 14
    m_context.window->show();
    m_context.window->raise();
    m_context.window->activateWindow();
    g.progressSheet.setupProgressSheet();
    g.convert->setupConvertCommand();
    g.table.setupTableCommands();
    // 7 done: the context menu is installed.
    window.setupSettingsArea();
    // 8
    window.markAccessLetters();
    g.outputSettings.setupOutputSettings();
    // 15
    g.usage.setupUsagesReport();
    // 16 to 19
    window.restoreListChoices();
    if (g.recentFolders) {
        g.recentFolders->restoreRecentFolders();
    }
}

void PictavoAppDelegate::setupDesktop() {
    if (m_context.workspace != nullptr) {
        m_desktop = std::make_unique<ReportingWorkspace>(
            *m_context.workspace, [this](const QString& message) { tellDesktopFailure(message); });
        m_context.desktop = m_desktop.get();
    }
}

void PictavoAppDelegate::applicationDidFinishLaunching() {
    m_commandGroups->usage.validateReview();
}

bool PictavoAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows) {
    QMainWindow* window = m_context.window;
    if (hasVisibleWindows && window->isVisible()) {
        return false;
    }
    window->showNormal();
    window->raise();
    window->activateWindow();
    return true;
}

void PictavoAppDelegate::openAppAction() {
    QMainWindow* window = m_context.window;
    // Out of the dock, but a maximized window stays maximized.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

QWidget* PictavoAppDelegate::alertWindow() const {
    if (edition().hasApplicationModalAlerts) {
        return nullptr;
    }
    QMainWindow* window = m_context.window;
    // A link in the About sheet, View Log in the progress sheet: the alert
    // goes on the sheet the user is looking at.
    for (QWidget* front : {QApplication::activeModalWidget(), QApplication::activeWindow()}) {
        if (front != nullptr && (front == window || window->isAncestorOf(front))) {
            return front;
        }
    }
    return window;
}

void PictavoAppDelegate::tellDesktopFailure(const QString& message) {
    if (m_context.quitting || m_context.dialogs == nullptr) {
        return;
    }
    AlertRequest alert;
    alert.messageText = StringUtilities::getAppTitle(edition());
    alert.informativeText = message;
    alert.style = AlertStyle::Warning;
    // Not the waiting form: a worker may be waiting on this thread for the request.
    m_context.dialogs->beginAlert(alertWindow(), alert, [](int) {});
}
