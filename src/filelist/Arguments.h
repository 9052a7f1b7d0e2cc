#pragma once

#include <QList>
#include <QStringList>
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

    // A request for local `paths`, in their order.
    static Arguments forPaths(const QStringList& paths, bool folders, bool includeSubdirectories) {
        Arguments request;
        for (const QString& path : paths) {
            request.urls.append(QUrl::fromLocalFile(path));
        }
        request.isFolders = folders;
        request.isIncludeSubdirectories = includeSubdirectories;
        return request;
    }
};
