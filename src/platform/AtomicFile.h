#pragma once

#include "platform/Result.h"

#include <QString>

// A file that appears under its final name only once it is complete. The
// content is written to a hidden temporary file in the destination folder
// (same file system, so the final move is a rename); destroying an uncommitted
// AtomicFile removes the temporary file. An existing file of the final name is
// untouched until commit.
//
// Threads: one object is used by one thread.
class AtomicFile {
public:
    explicit AtomicFile(QString finalPath);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the empty temporary file, with the permissions a new file of the
    // final name would get.
    Status create();

    // Where to write the content; valid after create().
    const QString& temporaryPath() const { return m_temporaryPath; }
    const QString& finalPath() const { return m_finalPath; }

    // Moves the temporary file to the final name, replacing any file there.
    Status commit();

    enum class Outcome { Committed, NameTaken, Failed };
    // Moves the temporary file to `path` only when no file of that name
    // exists; on NameTaken the temporary file stays, so another name can be
    // tried.
    Outcome commitWithoutReplacing(const QString& path, QString* error = nullptr);

    // Removes the temporary file; the final name is left as it was.
    void discard();

private:
    QString m_finalPath;
    QString m_temporaryPath;
    bool m_pending = false;
};

// The text of the current errno, for messages.
QString errnoText(int error);
