#pragma once

#include "filelist/Arguments.h"
#include "filelist/FileList.h"
#include "platform/ThreadHandOff.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class Preferences;

// What the file loader needs from the main controller.
//
// Threads: the loader calls every member from its worker thread. Each call
// except isProcessing() must run on the main thread and return only when it
// is done (a waiting call, e.g. runOnThreadOf()), so the loader sees its
// effects before it goes on. isProcessing() is the shared busy flag: an atomic
// read from any thread, flipped to false by the main thread to cancel a load.
class FileLoaderHost {
public:
    virtual ~FileLoaderHost() = default;
    // Enables or disables the window's controls as one.
    virtual void resetViewObject(bool enable) = 0;
    // Enters the busy state; sets isProcessing to true.
    virtual void startProcess() = 0;
    // Leaves the busy state; sets isProcessing to false and refreshes the
    // totals line.
    virtual void stopProcess() = 0;
    virtual void updateTimeTakenLabel(const QString& text) = 0;
    virtual void updateTotalPagesLabel() = 0;
    // Appends the items not yet in the list (FileList::appendAll) and returns
    // how many that was.
    virtual int appendFiles(const std::vector<std::shared_ptr<FileItem>>& items) = 0;
    // Sorts the list by the table's current sort order and reloads the table.
    virtual void sortAndReload() = 0;
    virtual bool isProcessing() const = 0;
    // The index keys of the files in the list when the load starts
    // (FileList::keys()), so the worker can skip them before counting their
    // pages. Empty is always correct, only slower on a list that is not
    // empty.
    virtual FileList::KeySet presentUrlKeys() { return {}; }
};

struct FileLoaderOptions {
    // New items reach the list at most this often, each batch followed by a
    // page-total refresh, so the total counts up during a long walk without
    // one waiting call per file. Zero hands over every item on its own.
    std::chrono::milliseconds flushInterval{33};
    // The elapsed time at the end in words, as the first edition shows it.
    bool elapsedTimeInWords = false;
};

// "Total Time Taken : <text> 0/0", the time label during and after a load.
QString loadTimeLabel(const QString& text);

// The whole load of one request (which may be null): disables the window,
// enters the busy state, adds the items, sorts and reloads once when the list
// grew, and always leaves the busy state and restores the window, with the
// elapsed time in the label. Runs on the worker thread; errors are written to
// the system log.
void loadURLs(FileLoaderHost& host, const Arguments* request,
              const FileLoaderOptions& options = {});

// Adds every URL as a file, without an extension test. True when the list
// grew.
bool addFilesToList(FileLoaderHost& host, const QList<QUrl>& urls,
                    const FileLoaderOptions& options = {});

// Adds the files the folder walker finds under `urls`. True when the list
// grew.
bool addFolderToList(FileLoaderHost& host, const QList<QUrl>& urls, bool includeSubdirectories,
                     const FileLoaderOptions& options = {});

// The include-subfolders preference ("INCLUDESUBFOLDERS"); false when absent.
bool includeSubfolders(const Preferences& preferences);
// Stores it and writes the store at once.
void setIncludeSubfolders(Preferences& preferences, bool include);
