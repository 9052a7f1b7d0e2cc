#pragma once

#include "shell/Dialogs.h"

#include <QString>

// The open panels the commands show, each kind set up in one place; a
// command adds only what is its own (a title, a starting folder).

// TIFF files, several at once; folders too when `alsoFolders`.
OpenPanelRequest tiffFilesChooser(const QString& message, bool alsoFolders);
// Several folders, none made.
OpenPanelRequest foldersChooser(const QString& message);
// One folder to write into, which the user may make.
OpenPanelRequest outputFolderChooser(const QString& message);
// One text file.
OpenPanelRequest textFileChooser(const QString& message);
