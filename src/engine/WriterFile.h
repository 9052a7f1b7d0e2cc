#pragma once

#include "platform/Result.h"

#include <QString>

#include <cstdio>
#include <memory>

// The stdio stream a C encoder writes into, closed when it goes away.
struct FileCloser {
    // Only after a failure: closeAfterWriting checks the close of a written file.
    void operator()(std::FILE* file) const { (void)std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

Result<FilePointer> openForWriting(const QString& path);
// An encoder's failure; when the file itself refused the bytes (a full disk,
// a file size limit), that reason, with the path, says more than the
// encoder's own words.
Status encoderFailure(std::FILE* file, const QString& path, const QString& encoderMessage);
// Flushes and closes; a full disk shows up here, not in the encoder.
Status closeAfterWriting(FilePointer file, const QString& path);
