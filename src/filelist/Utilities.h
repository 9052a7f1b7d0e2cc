#pragma once

#include <QUrl>

// The number of images in the file: the pages (directories) of a TIFF, the
// images of any other format Qt can read; 0 when it cannot tell.
int getTiffPageCount(const QUrl& url);
