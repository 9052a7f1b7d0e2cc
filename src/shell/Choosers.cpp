#include "shell/Choosers.h"

#include "filelist/FolderWalker.h"

namespace {

enum class Chooses { Files, Folders, FilesAndFolders };

OpenPanelRequest chooser(const QString& message, Chooses what, bool several) {
    OpenPanelRequest panel;
    panel.message = message;
    panel.canChooseFiles = what != Chooses::Folders;
    panel.canChooseDirectories = what != Chooses::Files;
    panel.allowsMultipleSelection = several;
    return panel;
}

} // namespace

OpenPanelRequest tiffFilesChooser(const QString& message, bool alsoFolders) {
    OpenPanelRequest panel =
        chooser(message, alsoFolders ? Chooses::FilesAndFolders : Chooses::Files, true);
    panel.allowedFileTypes = allowedFileTypes();
    return panel;
}

OpenPanelRequest foldersChooser(const QString& message) {
    return chooser(message, Chooses::Folders, true);
}

OpenPanelRequest outputFolderChooser(const QString& message) {
    OpenPanelRequest panel = chooser(message, Chooses::Folders, false);
    panel.canCreateDirectories = true;
    return panel;
}

OpenPanelRequest textFileChooser(const QString& message) {
    OpenPanelRequest panel = chooser(message, Chooses::Files, false);
    panel.allowedFileTypes = {QStringLiteral("txt")};
    panel.fileTypesLabel = QStringLiteral("Text files");
    return panel;
}
