#pragma once

#include "platform/Result.h"

#include <QString>

// A file that appears under its final name only once it is complete. The
// content is written to an unnamed file in the destination folder (O_TMPFILE),
// linked under its name on commit: a process killed mid-write leaves nothing
// behind. Where the file system has no unnamed files, a hidden temporary file
// in the folder is renamed instead. Destroying an uncommitted AtomicFile
// removes the temporary file. An existing file of the final name is untouched
// until commit.
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

    // Where to write the content, by opening it anew (for an unnamed file a
    // path under /proc/self/fd); valid after create().
    const QString& temporaryPath() const { return m_temporaryPath; }
    const QString& finalPath() const { return m_finalPath; }

    // Moves the temporary file to the final name, replacing any file there.
    Status commit();

    enum class Outcome { Committed, NameTaken, Failed };
    // Moves the temporary file to `path` only when no file of that name
    // exists; on NameTaken the temporary file stays, so another name can be
    // tried.
    Outcome commitWithoutReplacing(const QString& path, QString* error = nullptr);

    // A writer's message about the temporary file, naming the final one: the
    // user knows no other.
    Status inFinalTerms(Status status) const;

    // Removes the temporary file; the final name is left as it was.
    void discard();

private:
    bool createUnnamed(const QString& folder);
    Status createNamed(const QString& folder);
    // Gives the pending content the name `path`; fails with EEXIST when the
    // name is taken.
    int linkAs(const QString& path);
    void forgetPending();

    QString m_finalPath;
    QString m_temporaryPath;
    int m_unnamedFd = -1; // the unnamed file, held open until it is linked
    bool m_pending = false;
};

// The text of the current errno, for messages.
QString errnoText(int error);

// A write past the process's file size limit (ulimit -f) then fails with
// EFBIG, as on a full disk, instead of killing the whole job mid-file.
void failWritesPastFileSizeLimit();
