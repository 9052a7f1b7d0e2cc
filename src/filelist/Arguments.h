#pragma once

#include <QList>
#include <QUrl>

// One load request for the file loader: the chosen or dropped items in the
// order given, and how to treat them. The creator hands it to the loading
// thread and keeps no reference.
struct Arguments {
    QList<QUrl> urls;
    // True: walk the items with the folder walker (files filtered by
    // extension, folders enumerated). False: add each item as a file,
    // unfiltered.
    bool isFolders = false;
    // With isFolders: enumerate folders recursively.
    bool isIncludeSubdirectories = false;
};
