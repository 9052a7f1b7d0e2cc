#include "engine/WriterFile.h"

#include "platform/AtomicFile.h"
#include "platform/NativePath.h"

#include <cerrno>

Result<FilePointer> openForWriting(const QString& path) {
    FilePointer file(std::fopen(NativePath::encode(path).constData(), "wb"));
    if (!file) {
        return Result<FilePointer>::failure(
            QStringLiteral("Cannot open “%1”: %2").arg(path, errnoText(errno)));
    }
    return file;
}

Status encoderFailure(std::FILE* file, const QString& path, const QString& encoderMessage) {
    const int error = errno;
    if (std::ferror(file) != 0 && error != 0) {
        return Status::failure(QStringLiteral("Cannot write “%1”: %2").arg(path, errnoText(error)));
    }
    return Status::failure(encoderMessage);
}

Status closeAfterWriting(FilePointer file, const QString& path) {
    const bool flushed = std::fflush(file.get()) == 0 && std::ferror(file.get()) == 0;
    const int flushError = errno;
    if (!flushed || std::fclose(file.release()) != 0) {
        return Status::failure(QStringLiteral("Cannot write “%1”: %2")
                                   .arg(path, errnoText(flushed ? errno : flushError)));
    }
    return {};
}
