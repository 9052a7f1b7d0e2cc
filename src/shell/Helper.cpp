// The menu bar's commands, bound to the groups that carry them out.
#include "shell/Helper.h"

#include "filelist/FileList.h"
#include "shell/ConvertCommand.h"
#include "shell/EditionWindow.h"
#include "shell/FileSystemHelper.h"
#include "shell/HelpAndAbout.h"
#include "shell/ImportExport.h"
#include "shell/PictavoAppDelegate.h"
#include "shell/TableCommands.h"
#include "widgets/CustomTableView.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

Helper::Helper(PictavoAppDelegate& app) : m_app(app), m_ctx(app.context()) {}

void Helper::setupToolbarAndMenuItems() {
    connect(m_ctx.parts.aboutMenuItem, &QAction::triggered, this,
            [this] { m_app.help().aboutAction(); });
    bindMenuCommands();
}

void Helper::bindMenuCommands() {
    using Command = EditionWindow::Command;
    const auto segment = [this](Command command) {
        return [this, command] { return m_app.editionWindow().isCommandEnabled(command); };
    };
    const auto always = [] { return true; };
    FileSystemHelper& adding = m_app.fileSystemHelper();
    TableCommands& table = m_app.table();
    ImportExport& transfer = m_app.importExport();
    HelpAndAbout& help = m_app.help();
    EditionWindow& window = m_app.editionWindow();
    m_menuCommands = {
        {m_ctx.parts.addFilesMenuItem, segment(Command::AddFiles),
         [&adding] { adding.addFiles(); }},
        {m_ctx.parts.addFolderMenuItem, segment(Command::AddFiles),
         [&adding] { adding.addFolder(); }},
        {m_ctx.parts.includeSubfoldersMenuItem, segment(Command::IncludeSubfolders),
         [&window] { window.toggleIncludeSubfolders(); }},
        {m_ctx.parts.importMenuItem, segment(Command::Import),
         [&transfer] { transfer.importAction(); }},
        {m_ctx.parts.exportMenuItem, segment(Command::Export),
         [&transfer] { transfer.exportAction(); }},
        {m_ctx.parts.openLogsFolderMenuItem, segment(Command::Logs),
         [&help] { help.openLogsFolder(); }},
        {m_ctx.parts.outputSettingsMenuItem, segment(Command::Settings),
         [&window] { window.showOutputSettings(); }},
        {m_ctx.parts.convertMenuItem,
         [&window, &adding] { return window.isConvertEnabled() && !adding.isLoading(); },
         [this] { m_app.convert().convertAction(); }},
        {m_ctx.parts.selectAllMenuItem,
         [this] { return m_ctx.parts.mainTableView->isEnabled() && m_ctx.files->size() > 0; },
         [&table] { table.selectDeselectRemoveAll(TableCommands::SelectAllRows); }},
        {m_ctx.parts.removeMenuItem,
         [&window, &table] {
             return window.isCommandEnabled(Command::Remove) && !table.selectedRows().empty();
         },
         [&table] { table.removeAction(); }},
        {m_ctx.parts.removeAllMenuItem, segment(Command::RemoveAll),
         [&table] { table.selectDeselectRemoveAll(TableCommands::RemoveAllFiles); }},
        {m_ctx.parts.cancelLoadMenuItem, [&adding] { return adding.isLoading(); },
         [&adding] { adding.cancelAction(); }},
        {m_ctx.parts.helpMenuItem, always, [&help] { help.helpAction(); }},
        {m_ctx.parts.websiteMenuItem, always, [&help] { help.websiteAction(); }},
        {m_ctx.parts.rateMenuItem, always, [&help] { help.rateUs(); }},
    };
    // A shortcut runs a command only when its segment would; an open menu
    // shows which ones can run. Closed menus keep their items enabled, so a
    // shortcut is never left disabled by an old state.
    for (const MenuCommand& entry : m_menuCommands) {
        connect(entry.item, &QAction::triggered, this, [canRun = entry.canRun, run = entry.run] {
            if (canRun()) {
                run();
            }
        });
    }
    for (QAction* top : m_ctx.window->menuBar()->actions()) {
        QMenu* menu = top->menu();
        if (menu == nullptr) {
            continue;
        }
        connect(menu, &QMenu::aboutToShow, this, [this] {
            for (const MenuCommand& entry : m_menuCommands) {
                entry.item->setEnabled(entry.canRun());
            }
        });
        connect(menu, &QMenu::aboutToHide, this, [this] {
            for (const MenuCommand& entry : m_menuCommands) {
                entry.item->setEnabled(true);
            }
        });
    }
}

void Helper::connectWindowItems() {
    connect(m_ctx.parts.minimizeMenuItem, &QAction::triggered, m_ctx.window,
            &QWidget::showMinimized);
    connect(m_ctx.parts.showMainWindowMenuItem, &QAction::triggered, this,
            [this] { (void)m_app.applicationShouldHandleReopen(false); });
}
