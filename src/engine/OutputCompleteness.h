#pragma once

#include <QString>

// Whether a file left by an earlier run is whole for its output type (see
// OutputType), from a look at its ends alone: a PNG ends with its IEND chunk,
// a JPEG with its end-of-image marker, a GIF with its trailer, a BMP is as
// long as its header says. A TIFF's directories are walked instead: each
// must be readable, with its strips or tiles inside the file, and the chain
// must end cleanly after exactly `pages` of them. A PDF must read without
// repair and hold exactly `pages` pages.
//
// A file cut short (a full disk, a copy broken off, a truncation) fails; a
// file whose bytes were changed in place may pass. Threads: any.
bool isCompleteOutput(const QString& path, int outputType, int pages);
