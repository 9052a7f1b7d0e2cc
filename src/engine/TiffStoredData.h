#pragma once

#include "engine/TiffPageLayout.h"
#include "platform/Result.h"

#include <tiffio.h>

// Checks the strips or tiles of the current directory against the file before
// any of them is read: as many as libtiff computes from the page's rows (or
// tiles) and planes, each with data, past the header and within the file.
// Uncompressed ones are read whole at the size their rows need, whatever
// their byte count says, so those bytes must also stop short of the next
// strip or tile and of the directory. A page that fails would take pixels
// from the header, from another plane or from unrelated bytes; the error says
// which strip or tile and why.
Status checkStoredData(TIFF* tif, const TiffPageLayout& layout);
