#pragma once

#include <QString>

#include <functional>
#include <memory>

class ConvertCommand;
class EditionWindow;
class PictavoAppDelegate;

// What an edition's window program is made of: its window, the groups it
// has, and the few rules in which the shared commands differ. Names, folders
// and keys are the platform's Edition.
struct EditionGroups {
    std::function<std::unique_ptr<EditionWindow>(PictavoAppDelegate&)> makeWindow;
    // Convert: the shared command, or an edition's own rule.
    std::function<std::unique_ptr<ConvertCommand>(PictavoAppDelegate&)> makeConvert;
    // The recent-folders pop-up, and folders added remembered for it.
    bool hasRecentFolders = true;
    // The header's column chooser and the rows' double click.
    bool hasTableExtras = true;
    // Add Files takes folders too while subfolders are included.
    bool addFilesTakesFolders = true;
    // Get Info shows the selected files one at a time, each by its path alone.
    bool infoItemByItem = false;
    // The settings' folder chooser: its message, and whether it stands on the
    // main window rather than on the settings sheet.
    QString outputFolderChooserMessage = QStringLiteral("Choose Output Folder : ");
    bool outputFolderChooserOnWindow = false;

    // The current edition: the command bar window and every group.
    static EditionGroups current();
};
