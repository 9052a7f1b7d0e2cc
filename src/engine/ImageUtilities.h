#pragma once

#include "engine/PageWriter.h"

#include <QImage>
#include <QString>

class Settings;

// Saving a page as an image file. Each function returns whether the file was
// written; on failure it logs "Erorr in (<function>:) : <reason>" and any file
// that already had the name is left as it was (the new file is written under
// a temporary name and renamed into place only when complete).
//
// Threads: any thread; the functions share no state.
namespace ImageUtilities {

// Chooses the writer by the extension of `path`: exactly an output type's
// extension (see outputFormats(), case-sensitive). Any other extension writes
// nothing and returns false.
bool save(const QImage& image, const QString& path, const Settings& settings);
bool save(const QImage& image, const QString& path, const WriteOptions& options);

bool saveAsBmpWithName(const QImage& image, const QString& path);
bool saveAsGifWithName(const QImage& image, const QString& path);
bool saveAsPngWithName(const QImage& image, const QString& path);
// `quality` 0..10: libjpeg's quality is quality * 10.
bool saveAsJpegWithName(const QImage& image, const QString& path, int quality);
// `compressionIndex` as for tiffCompressionTag().
bool saveAsTiffWithName(const QImage& image, const QString& path, int compressionIndex);

} // namespace ImageUtilities
