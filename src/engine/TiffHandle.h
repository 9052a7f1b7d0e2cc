#pragma once

#include "platform/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

#include <tiffio.h>

// An open libtiff handle whose errors and warnings go to this handle alone
// (never to stderr or a process-wide handler), closed when it goes away.
//
// Threads: one handle is used by one thread at a time; different handles are
// independent.
class TiffHandle {
public:
    // libtiff refuses any single allocation larger than this while reading
    // (hostile tag counts, huge strips).
    static constexpr tmsize_t kDefaultMaxSingleAllocation = tmsize_t(1) << 31;

    // `mode` as for TIFFOpen ("r", "w", "w8" for BigTIFF, ...).
    static Result<TiffHandle> openFile(const QString& path, const char* mode,
                                       tmsize_t maxSingleAllocation = kDefaultMaxSingleAllocation);
    // Reads a TIFF held in memory.
    static Result<TiffHandle> openData(QByteArray data,
                                       tmsize_t maxSingleAllocation = kDefaultMaxSingleAllocation);

    // Writes a TIFF into memory, where memoryData() holds it.
    static Result<TiffHandle> createInMemory();

    TiffHandle(TiffHandle&&) noexcept;
    TiffHandle& operator=(TiffHandle&&) noexcept;
    ~TiffHandle();

    TIFF* get() const;
    // The bytes of a handle over memory.
    QByteArray memoryData() const;
    // The last error libtiff reported on this handle ("" when none), with the
    // module libtiff named, e.g. "TIFFReadDirectory: Incorrect count ...".
    QString lastError() const;
    // The first warnings libtiff gave since clearError(), formatted as errors,
    // and the first that says the data ends early (saysDataEndsEarly()).
    QStringList warnings() const;
    // Forgets the last error and the warnings.
    void clearError();
    // Takes what another handle reported as if it had been reported here, in
    // order after what this one has.
    void absorb(const QString& error, const QStringList& warnings);

    // Flushes and closes; false (with lastError()) when libtiff could not
    // write the last directory. Called by the destructor when not done before.
    bool close();

    struct State; // internal; public only so libtiff's C callbacks can reach it

private:
    explicit TiffHandle(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

// libtiff only warns when fax or JPEG data stops before the page is complete
// (and fills the rest); such a warning means the page is not what the file
// holds. For Group 4 data an end-of-line code cut short also stops the strip,
// leaving its later rows unwritten.
bool saysDataEndsEarly(const QString& warning, uint16_t compression = COMPRESSION_NONE);

// True when the file starts with a TIFF or BigTIFF header.
bool hasTiffSignature(const QByteArray& firstBytes);
bool fileHasTiffSignature(const QString& path);

// Whether two handles read the same file (or both read memory): a file put
// in the path's place since the first opened it would otherwise be read as
// if it were the first's.
bool readSameSource(TIFF* first, TIFF* second);
