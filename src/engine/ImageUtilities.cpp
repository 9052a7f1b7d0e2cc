#include "engine/ImageUtilities.h"

#include "engine/BmpWriter.h"
#include "engine/GifWriter.h"
#include "engine/JpegWriter.h"
#include "engine/OutputFormats.h"
#include "engine/PagePixels.h"
#include "engine/PngWriter.h"
#include "engine/Settings.h"
#include "engine/TiffWriter.h"
#include "platform/AtomicFile.h"
#include "platform/SystemLog.h"

#include <QFileInfo>

#include <exception>
#include <functional>

namespace ImageUtilities {

namespace {

void logFailure(const char* function, const QString& reason) {
    systemLog(QStringLiteral("Erorr in (%1:) : %2").arg(QLatin1String(function), reason));
}

// Where single-page files appear under their names (TIFF files go through
// TiffPageEncoder, which does the same for any number of pages).
Status writeThrough(const PageWriter& writer, const QImage& image, const QString& path,
                    const WriteOptions& options) {
    if (Status notEmpty = PagePixels::checkNotEmpty(image); !notEmpty) {
        return notEmpty; // before a temporary file exists
    }
    AtomicFile file(path);
    if (Status created = file.create(); !created) {
        return created;
    }
    if (Status encoded = writer.encode(image, file.temporaryPath(), options); !encoded) {
        return file.inFinalTerms(std::move(encoded));
    }
    return file.commit();
}

// Runs one save and turns its outcome, or anything thrown, into the log line
// and the answer.
bool reported(const char* function, const std::function<Status()>& write) {
    try {
        const Status status = write();
        if (!status) {
            logFailure(function, status.error());
        }
        return status.ok();
    } catch (const std::exception& e) {
        logFailure(function, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

// The text after the last "." of the file name; none without a dot.
QString extensionOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace

bool save(const QImage& image, const QString& path, const Settings& settings) {
    return save(image, path, WriteOptions{settings.jpegQuality(), settings.tiffCompressionIndex()});
}

bool save(const QImage& image, const QString& path, const WriteOptions& options) {
    try {
        if (const OutputFormat* format = outputFormatWithExtension(extensionOf(path))) {
            return format->save(image, path, options);
        }
    } catch (const std::exception& e) {
        logFailure("save", QString::fromLocal8Bit(e.what()));
    }
    return false;
}

bool saveAsBmpWithName(const QImage& image, const QString& path) {
    return reported("saveAsBmpWithName",
                    [&] { return writeThrough(BmpWriter(), image, path, WriteOptions()); });
}

bool saveAsGifWithName(const QImage& image, const QString& path) {
    return reported("saveAsGifWithName",
                    [&] { return writeThrough(GifWriter(), image, path, WriteOptions()); });
}

bool saveAsPngWithName(const QImage& image, const QString& path) {
    return reported("saveAsPngWithName",
                    [&] { return writeThrough(PngWriter(), image, path, WriteOptions()); });
}

bool saveAsJpegWithName(const QImage& image, const QString& path, int quality) {
    WriteOptions options;
    options.jpegQuality = quality;
    return reported("saveAsJpegWithName",
                    [&] { return writeThrough(JpegWriter(), image, path, options); });
}

bool saveAsTiffWithName(const QImage& image, const QString& path, int compressionIndex) {
    return reported("saveAsTiffWithName", [&]() -> Status {
        if (Status notEmpty = PagePixels::checkNotEmpty(image); !notEmpty) {
            return notEmpty;
        }
        TiffPageEncoder encoder(path);
        if (Status appended = encoder.appendPage(image, compressionIndex); !appended) {
            return appended;
        }
        return encoder.finish();
    });
}

} // namespace ImageUtilities
