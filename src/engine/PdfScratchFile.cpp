#include "engine/PdfScratchFile.h"

#include "platform/AtomicFile.h"
#include "platform/NativePath.h"

#include <qpdf/Pipeline.hh>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int64_t kChunk = int64_t(1) << 20;

QString scratchFailure(const QString& folder, int error) {
    return QStringLiteral("Cannot write a scratch file in “%1”: %2").arg(folder, errnoText(error));
}

// A named file removed at once, where the file system has no unnamed ones.
int openRemovedAtOnce(const QByteArray& folder) {
    QByteArray pattern = folder + "/.pictavo-pdf-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::unlink(pattern.constData());
    }
    return fd;
}

} // namespace

PdfScratchFile::~PdfScratchFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Status PdfScratchFile::open(const QString& folder) {
    const QByteArray encoded = NativePath::encode(folder.isEmpty() ? QStringLiteral(".") : folder);
    m_fd = ::open(encoded.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        m_fd = openRemovedAtOnce(encoded);
    }
    if (m_fd < 0) {
        return Status::failure(scratchFailure(folder, errno));
    }
    return {};
}

Result<PdfScratchFile::Extent> PdfScratchFile::append(const std::vector<uint8_t>& data) {
    const Extent extent{m_size, static_cast<int64_t>(data.size())};
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::pwrite(m_fd, data.data() + done, data.size() - done,
                                   static_cast<off_t>(m_size + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Result<Extent>::failure(
                QStringLiteral("Cannot write the page's data: %1").arg(errnoText(errno)));
        }
        done += static_cast<size_t>(n);
    }
    m_size += extent.size;
    return extent;
}

void PdfScratchFile::pipe(const Extent& extent, Pipeline* out) const {
    std::vector<unsigned char> buffer(static_cast<size_t>(std::min(extent.size, kChunk)));
    int64_t done = 0;
    while (done < extent.size) {
        const size_t want = static_cast<size_t>(std::min(extent.size - done, kChunk));
        const ssize_t n =
            ::pread(m_fd, buffer.data(), want, static_cast<off_t>(extent.offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("cannot read back the page's data");
        }
        out->write(buffer.data(), static_cast<size_t>(n));
        done += n;
    }
    out->finish();
}
