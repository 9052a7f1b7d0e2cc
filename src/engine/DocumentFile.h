#pragma once

#include "platform/AtomicFile.h"
#include "platform/Result.h"

#include <QString>

// The file a multi-page writer makes, page by page: written under a
// temporary name and put in place only when finished. The first failure
// spends it: the temporary file goes, and every later call gives that
// failure again.
//
// Threads: one thread at a time.
class DocumentFile {
public:
    explicit DocumentFile(QString finalPath) : m_file(std::move(finalPath)) {}

    AtomicFile& file() { return m_file; }
    int pages() const { return m_pages; }
    void pageAdded() { ++m_pages; }

    // Success while the document takes pages: neither spent nor finished.
    Status takesPages() const;
    // As takesPages, and it must hold a page; one without spends it.
    Status readyToFinish();
    // Puts the file in place; it is then finished.
    Status commit();
    // Spends the document; `status`, in terms of the final name.
    Status fail(Status status);

private:
    AtomicFile m_file;
    int m_pages = 0;
    bool m_finished = false;
    QString m_failure;
};
