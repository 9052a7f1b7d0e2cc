#pragma once

#include "platform/Result.h"

#include <QString>

#include <cstdint>
#include <vector>

class Pipeline;

// Where a PDF's image data waits until the document is written: a file
// without a name (removed by the system when closed, also when the process
// is killed) in the output's folder, so the data needs no memory and a full
// disk shows while pages are added.
//
// Threads: one object is used by one thread.
class PdfScratchFile {
public:
    struct Extent {
        int64_t offset = 0;
        int64_t size = 0;
    };

    PdfScratchFile() = default;
    ~PdfScratchFile();
    PdfScratchFile(const PdfScratchFile&) = delete;
    PdfScratchFile& operator=(const PdfScratchFile&) = delete;

    Status open(const QString& folder);
    Result<Extent> append(const std::vector<uint8_t>& data);
    // Writes the bytes of `extent` into `out` and finishes it; throws
    // std::runtime_error when they cannot be read back.
    void pipe(const Extent& extent, Pipeline* out) const;

private:
    int m_fd = -1;
    int64_t m_size = 0;
};
