#pragma once

#include "platform/Result.h"

#include <QString>

// A file that appears under its final name only once it is complete. The
// content is written to an unnamed file in the destination folder (O_TMPFILE),
// linked under its name on commit: a process killed mid-write leaves nothing
// behind. Where the file system has no unnamed files (FUSE, NFS), a hidden
// temporary file in the folder, ".pictavo-<host>-<pid>-<hex>.tmp", is renamed
// instead; one that a killed process left is removed by the next process on
// the same host to write into that folder (see removeStaleTemporaries).
// Destroying an uncommitted AtomicFile removes the temporary file. An existing
// file of the final name is untouched until commit.
//
// PICTAVO_NAMED_TEMPORARIES=1 in the environment makes every AtomicFile use
// named temporaries, as on a file system without unnamed files.
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

// Removes from `folder` the named temporaries of AtomicFile that processes of
// this host left when they were killed: those whose process no longer runs.
// Another host's, a running process's, and every other file stay. Returns how
// many were removed. create() does this once per folder in each process.
int removeStaleTemporaries(const QString& folder);

// Whether `name` is an AtomicFile temporary of any process or host.
bool isAtomicFileTemporary(const QString& name);

// The text of the current errno, for messages.
QString errnoText(int error);

// A write past the process's file size limit (ulimit -f) then fails with
// EFBIG, as on a full disk, instead of killing the whole job mid-file.
void failWritesPastFileSizeLimit();
