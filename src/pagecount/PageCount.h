#pragma once

#include <QUrl>

// Page counting for the file list, read the way a conversion reads the file
// (the engine's TIFF reader, its page chain and allocation limit), so the
// list never promises pages a job cannot find. Only these few names reach the
// list; the engine stays behind them.

// The pages of a file as the list counts them.
struct PageTally {
    // The images in the file that can be read: the pages (directories) of a
    // TIFF, the images of any other format Qt can read; 0 when it cannot tell,
    // and for what is not a regular file (a named pipe, a device), which is
    // never opened.
    int readable = 0;
    // The file goes on past them with pages that cannot be read (a TIFF's
    // chain of directories breaks off).
    bool moreUnreadable = false;
};
PageTally tallyPages(const QUrl& url);

// tallyPages(url).readable
int getTiffPageCount(const QUrl& url);
