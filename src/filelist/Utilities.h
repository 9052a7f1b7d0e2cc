#pragma once

#include <QUrl>

// The number of images in the file: the pages (directories) of a TIFF, the
// images of any other format Qt can read; 0 when it cannot tell, and for
// what is not a regular file (a named pipe, a device), which is never opened.
int getTiffPageCount(const QUrl& url);
