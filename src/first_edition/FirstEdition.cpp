#include "first_edition/FirstEdition.h"

#include "first_edition/FirstEditionConvert.h"
#include "first_edition/FirstEditionWindow.h"

EditionGroups firstEditionGroups() {
    EditionGroups groups;
    groups.makeWindow = [](PictavoAppDelegate& app) {
        return std::make_unique<FirstEditionWindow>(app);
    };
    groups.makeConvert = [](PictavoAppDelegate& app) {
        return std::make_unique<FirstEditionConvert>(app);
    };
    groups.hasRecentFolders = false;
    groups.hasTableExtras = false;
    groups.addFilesTakesFolders = false;
    groups.infoItemByItem = true;
    groups.outputFolderChooserMessage = QStringLiteral("Select Output Folder:");
    groups.outputFolderChooserOnWindow = true;
    return groups;
}
