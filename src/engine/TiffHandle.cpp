#include "engine/TiffHandle.h"

#include "platform/NativePath.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include <sys/stat.h>

struct TiffHandle::State {
    TIFF* tif = nullptr;
    QString lastError;
    QStringList warnings; // since the last clearError(), the first few
    // For handles over memory.
    QByteArray data;
    toff_t position = 0;
    bool writable = false;

    void keepWarning(QString text);
};

namespace {

constexpr qsizetype kWarningsKept = 8;

// The attribute tells the compiler that `format` is libtiff's printf format.
__attribute__((format(printf, 2, 0))) QString formatMessage(const char* module, const char* format,
                                                            va_list args) {
    std::array<char, 1024> buffer{};
    // Truncates a longer message, which is all we want; the buffer stays terminated.
    (void)std::vsnprintf(buffer.data(), buffer.size(), format, args);
    QString text = QString::fromUtf8(buffer.data());
    if (module != nullptr && *module != '\0') {
        text = QString::fromUtf8(module) + QStringLiteral(": ") + text;
    }
    return text;
}

__attribute__((format(printf, 4, 0))) int reportError(TIFF*, void* userData, const char* module,
                                                      const char* format, va_list args) {
    auto* state = static_cast<TiffHandle::State*>(userData);
    state->lastError = formatMessage(module, format, args);
    return 1; // handled: nothing reaches libtiff's global handler
}

__attribute__((format(printf, 4, 0))) int keepWarning(TIFF*, void* userData, const char* module,
                                                      const char* format, va_list args) {
    static_cast<TiffHandle::State*>(userData)->keepWarning(formatMessage(module, format, args));
    return 1;
}

// Some libtiff code paths still report through the process-wide handlers;
// silence them once so nothing is printed on stderr.
void silenceGlobalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct OptionsDeleter {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

std::unique_ptr<TIFFOpenOptions, OptionsDeleter> makeOptions(TiffHandle::State* state,
                                                             tmsize_t maxSingleAllocation) {
    std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), maxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), reportError, state);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), keepWarning, state);
    return options;
}

TiffHandle::State* stateOf(thandle_t handle) {
    return static_cast<TiffHandle::State*>(handle);
}

tmsize_t memoryRead(thandle_t handle, void* buffer, tmsize_t size) {
    TiffHandle::State* s = stateOf(handle);
    const auto total = static_cast<toff_t>(s->data.size());
    if (size <= 0 || s->position >= total) {
        return 0;
    }
    const auto n =
        static_cast<tmsize_t>(std::min<toff_t>(static_cast<toff_t>(size), total - s->position));
    std::memcpy(buffer, s->data.constData() + s->position, static_cast<size_t>(n));
    s->position += static_cast<toff_t>(n);
    return n;
}

tmsize_t memoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
    TiffHandle::State* s = stateOf(handle);
    const auto end = static_cast<qint64>(s->position) + static_cast<qint64>(size);
    if (!s->writable || size <= 0 || end > std::numeric_limits<qsizetype>::max()) {
        return 0;
    }
    if (end > s->data.size()) {
        s->data.resize(static_cast<qsizetype>(end));
    }
    std::memcpy(s->data.data() + s->position, buffer, static_cast<size_t>(size));
    s->position = static_cast<toff_t>(end);
    return size;
}

toff_t memorySeek(thandle_t handle, toff_t offset, int whence) {
    TiffHandle::State* s = stateOf(handle);
    const auto total = static_cast<toff_t>(s->data.size());
    toff_t base = 0;
    if (whence == SEEK_CUR) {
        base = s->position;
    } else if (whence == SEEK_END) {
        base = total;
    }
    if (offset > ~toff_t(0) - base) {
        return ~toff_t(0);
    }
    s->position = base + offset;
    return s->position;
}

int memoryClose(thandle_t) {
    return 0;
}

toff_t memorySize(thandle_t handle) {
    return static_cast<toff_t>(stateOf(handle)->data.size());
}

int memoryMap(thandle_t handle, void** base, toff_t* size) {
    TiffHandle::State* s = stateOf(handle);
    // libtiff only reads through the mapping.
    *base = const_cast<char*>(s->data.constData()); // NOLINT(cppcoreguidelines-pro-type-const-cast)
    *size = static_cast<toff_t>(s->data.size());
    return 1;
}

void memoryUnmap(thandle_t, void*, toff_t) {}

QString openFailure(const TiffHandle::State& state, const QString& fallback) {
    return state.lastError.isEmpty() ? fallback : state.lastError;
}

} // namespace

void TiffHandle::State::keepWarning(QString text) {
    // Past the first few, one warning of each kind of early end is still
    // kept: it decides whether the page is complete.
    const auto anyData = [](const QString& warning) { return saysDataEndsEarly(warning); };
    const auto group4Only = [](const QString& warning) {
        return saysDataEndsEarly(warning, COMPRESSION_CCITTFAX4) && !saysDataEndsEarly(warning);
    };
    const auto firstOfKind = [&](const auto& kind) {
        return kind(text) && std::none_of(warnings.cbegin(), warnings.cend(), kind);
    };
    if (warnings.size() < kWarningsKept || firstOfKind(anyData) || firstOfKind(group4Only)) {
        warnings.append(std::move(text));
    }
}

TiffHandle::TiffHandle(std::unique_ptr<State> state) : m_state(std::move(state)) {}
TiffHandle::TiffHandle(TiffHandle&&) noexcept = default;
TiffHandle& TiffHandle::operator=(TiffHandle&& other) noexcept {
    if (this != &other) {
        close();
        m_state = std::move(other.m_state);
    }
    return *this;
}
TiffHandle::~TiffHandle() {
    close();
}

Result<TiffHandle> TiffHandle::openFile(const QString& path, const char* mode,
                                        tmsize_t maxSingleAllocation) {
    silenceGlobalHandlers();
    auto state = std::make_unique<State>();
    const auto options = makeOptions(state.get(), maxSingleAllocation);
    state->tif = TIFFOpenExt(NativePath::encode(path).constData(), mode, options.get());
    if (state->tif == nullptr) {
        return Result<TiffHandle>::failure(
            openFailure(*state, QStringLiteral("Cannot open the file as TIFF")));
    }
    return TiffHandle(std::move(state));
}

Result<TiffHandle> TiffHandle::openData(QByteArray data, tmsize_t maxSingleAllocation) {
    silenceGlobalHandlers();
    auto state = std::make_unique<State>();
    state->data = std::move(data);
    const auto options = makeOptions(state.get(), maxSingleAllocation);
    state->tif = TIFFClientOpenExt("memory", "rm", state.get(), memoryRead, memoryWrite, memorySeek,
                                   memoryClose, memorySize, memoryMap, memoryUnmap, options.get());
    if (state->tif == nullptr) {
        return Result<TiffHandle>::failure(
            openFailure(*state, QStringLiteral("Cannot read the data as TIFF")));
    }
    return TiffHandle(std::move(state));
}

Result<TiffHandle> TiffHandle::createInMemory() {
    silenceGlobalHandlers();
    auto state = std::make_unique<State>();
    state->writable = true;
    const auto options = makeOptions(state.get(), kDefaultMaxSingleAllocation);
    // No mapping: libtiff maps only to read.
    state->tif = TIFFClientOpenExt("memory", "wm", state.get(), memoryRead, memoryWrite, memorySeek,
                                   memoryClose, memorySize, memoryMap, memoryUnmap, options.get());
    if (state->tif == nullptr) {
        return Result<TiffHandle>::failure(
            openFailure(*state, QStringLiteral("Cannot write TIFF data")));
    }
    return TiffHandle(std::move(state));
}

QByteArray TiffHandle::memoryData() const {
    return m_state ? m_state->data : QByteArray();
}

TIFF* TiffHandle::get() const {
    return m_state ? m_state->tif : nullptr;
}

bool saysDataEndsEarly(const QString& warning, uint16_t compression) {
    return warning.contains(QLatin1String("Premature EOF")) ||
           warning.contains(QLatin1String("Premature end")) ||
           (compression == COMPRESSION_CCITTFAX4 &&
            warning.contains(QLatin1String("Premature EOL")));
}

QStringList TiffHandle::warnings() const {
    return m_state ? m_state->warnings : QStringList();
}

QString TiffHandle::lastError() const {
    return m_state ? m_state->lastError : QString();
}

void TiffHandle::clearError() {
    if (m_state) {
        m_state->lastError.clear();
        m_state->warnings.clear();
    }
}

void TiffHandle::absorb(const QString& error, const QStringList& warnings) {
    if (!m_state) {
        return;
    }
    if (!error.isEmpty()) {
        m_state->lastError = error;
    }
    for (const QString& warning : warnings) {
        m_state->keepWarning(warning);
    }
}

bool TiffHandle::close() {
    if (!m_state || m_state->tif == nullptr) {
        return true;
    }
    const QString before = m_state->lastError;
    m_state->lastError.clear();
    TIFFClose(m_state->tif); // flushes a directory still being written
    m_state->tif = nullptr;
    const bool ok = m_state->lastError.isEmpty();
    if (ok) {
        m_state->lastError = before;
    }
    return ok;
}

bool hasTiffSignature(const QByteArray& b) {
    if (b.size() < 4) {
        return false;
    }
    const bool little = b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0;
    const bool big = b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43);
    return little || big;
}

bool fileHasTiffSignature(const QString& path) {
    const std::unique_ptr<QFile> file = NativePath::openForReading(path);
    return file && hasTiffSignature(file->read(4));
}

bool readSameSource(TIFF* first, TIFF* second) {
    const int a = TIFFFileno(first);
    const int b = TIFFFileno(second);
    if (a < 0 || b < 0) {
        return a < 0 && b < 0;
    }
    struct stat one {};
    struct stat other {};
    return fstat(a, &one) == 0 && fstat(b, &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}
