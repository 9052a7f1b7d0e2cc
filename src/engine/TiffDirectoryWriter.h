#pragma once

#include "platform/Result.h"

#include <QImage>
#include <QString>

#include <tiffio.h>

class TiffHandle;

// Writes a decoded page as the next directory of `handle`'s file: the page
// keeps its layout (see TiffWriter); fax codecs apply to black-and-white pages
// only, any other page is then stored uncompressed.
Status writeDirectory(TiffHandle& handle, const QImage& page, int compressionIndex);

// The resolution and ICC profile tags a written page carries; true when
// there is nothing to set.
bool setResolutionTags(TIFF* tif, const QImage& page);
bool setProfileTag(TIFF* tif, const QImage& page);

// A libtiff call that writes into the file failed: when the system refused
// the bytes (a full disk, a file size limit), its reason with the file's
// name, as the other writers say it; otherwise libtiff's own words, or
// `fallback`. `error` is errno right after the call, cleared before it.
Status tiffWriteFailure(const TiffHandle& handle, int error, const QString& fallback);
