#include "platform/AtomicFile.h"

#include "platform/NativePath.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr QLatin1StringView kTemporaryPrefix(".pictavo-");
constexpr QLatin1StringView kTemporarySuffix(".tmp");
constexpr qsizetype kTokenDigits = 16;

// The host part of a temporary's name: the host name with anything that is
// not plainly a host name's character made "_", so a name never holds a
// separator.
const QString& hostTag() {
    static const QString tag = [] {
        QString host = QSysInfo::machineHostName();
        for (QChar& c : host) {
            const bool plain =
                c.unicode() < 128 &&
                (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.'));
            if (!plain) {
                c = QLatin1Char('_');
            }
        }
        return host.isEmpty() ? QStringLiteral("localhost") : host;
    }();
    return tag;
}

QString temporaryNameIn(const QString& folder) {
    const quint64 token = QRandomGenerator::global()->generate64();
    const QString name = kTemporaryPrefix +
                         QStringLiteral("%1-%2-%3")
                             .arg(hostTag())
                             .arg(::getpid())
                             .arg(token, kTokenDigits, 16, QLatin1Char('0')) +
                         kTemporarySuffix;
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

struct TemporaryOwner {
    // cppcheck-suppress unusedStructMember ; read through the optional ownerOf() returns
    QString host;
    pid_t pid = 0;
};

// Read from the right, since a host name may hold "-".
std::optional<TemporaryOwner> ownerOf(const QString& name) {
    if (!name.startsWith(kTemporaryPrefix) || !name.endsWith(kTemporarySuffix)) {
        return std::nullopt;
    }
    const QString middle = name.mid(kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() -
                                                                 kTemporarySuffix.size());
    const qsizetype tokenDash = middle.lastIndexOf(QLatin1Char('-'));
    const qsizetype pidDash =
        tokenDash > 0 ? middle.lastIndexOf(QLatin1Char('-'), tokenDash - 1) : qsizetype(-1);
    if (pidDash <= 0 || middle.size() - tokenDash - 1 != kTokenDigits) {
        return std::nullopt;
    }
    bool tokenOk = false;
    (void)middle.mid(tokenDash + 1).toULongLong(&tokenOk, 16);
    const QString pidText = middle.mid(pidDash + 1, tokenDash - pidDash - 1);
    bool pidOk = false;
    const int pid = pidText.toInt(&pidOk);
    if (!tokenOk || !pidOk || pid <= 0 || pidText.startsWith(QLatin1Char('+'))) {
        return std::nullopt;
    }
    return TemporaryOwner{middle.left(pidDash), static_cast<pid_t>(pid)};
}

bool isRunning(pid_t pid) {
    // EPERM: it runs, as another user.
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH;
}

// Once per folder and process: a folder is listed at most once per run.
void removeStaleTemporariesOnce(const QString& folder) {
    static std::mutex mutex;
    static QSet<QString> swept;
    const QString key = NativePath::absolutePath(folder.isEmpty() ? QStringLiteral(".") : folder);
    {
        const std::lock_guard lock(mutex);
        if (swept.contains(key)) {
            return;
        }
        swept.insert(key);
    }
    (void)removeStaleTemporaries(key);
}

bool unnamedFilesAllowed() {
    static const bool allowed = qEnvironmentVariableIsEmpty("PICTAVO_NAMED_TEMPORARIES");
    return allowed;
}

} // namespace

bool isAtomicFileTemporary(const QString& name) {
    return ownerOf(name).has_value();
}

int removeStaleTemporaries(const QString& folder) {
    int removed = 0;
    for (const QString& name : NativePath::folderEntries(folder)) {
        const auto owner = ownerOf(name);
        if (!owner || owner->host != hostTag() || isRunning(owner->pid)) {
            continue;
        }
        const QString path = QDir(folder).filePath(name);
        if (!NativePath::isSymLink(path) && NativePath::isFile(path) &&
            ::unlink(NativePath::encode(path).constData()) == 0) {
            ++removed;
        }
    }
    return removed;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

AtomicFile::AtomicFile(QString finalPath) : m_finalPath(std::move(finalPath)) {}

AtomicFile::~AtomicFile() {
    discard();
}

Status AtomicFile::create() {
    discard();
    const QString folder = QFileInfo(m_finalPath).path();
    removeStaleTemporariesOnce(folder);
    if (unnamedFilesAllowed() && createUnnamed(folder)) {
        return {};
    }
    return createNamed(folder);
}

bool AtomicFile::createUnnamed(const QString& folder) {
    const QByteArray encodedFolder =
        NativePath::encode(folder.isEmpty() ? QStringLiteral(".") : folder);
    // 0666 lets the umask decide, as for any new file.
    const int fd = ::open(encodedFolder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false; // no unnamed files here (or no folder: the named path says why)
    }
    // Writers open the file anew by this path; without /proc (or with a umask
    // that leaves the owner no write access) that fails, so check now.
    const QString viaProc = QStringLiteral("/proc/self/fd/%1").arg(fd);
    const int probe = ::open(NativePath::encode(viaProc).constData(), O_RDWR | O_CLOEXEC);
    if (probe < 0) {
        ::close(fd);
        return false;
    }
    ::close(probe);
    m_unnamedFd = fd;
    m_temporaryPath = viaProc;
    m_pending = true;
    return true;
}

Status AtomicFile::createNamed(const QString& folder) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = temporaryNameIn(folder);
        const QByteArray encoded = NativePath::encode(candidate);
        const int fd = ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_temporaryPath = candidate;
            m_pending = true;
            return {};
        }
        if (errno != EEXIST) {
            return Status::failure(QStringLiteral("Cannot create a file in “%1”: %2")
                                       .arg(QDir::toNativeSeparators(folder), errnoText(errno)));
        }
    }
    return Status::failure(QStringLiteral("Cannot create a temporary file in “%1”").arg(folder));
}

int AtomicFile::linkAs(const QString& path) {
    const QByteArray from = NativePath::encode(m_temporaryPath);
    const QByteArray to = NativePath::encode(path);
    // The /proc link names the unnamed file; following it is the one way to
    // link it that needs no privilege.
    const int flags = m_unnamedFd >= 0 ? AT_SYMLINK_FOLLOW : 0;
    return ::linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), flags) == 0 ? 0 : errno;
}

Status AtomicFile::commit() {
    if (!m_pending) {
        return Status::failure(QStringLiteral("Nothing to commit for “%1”").arg(m_finalPath));
    }
    int error = 0;
    if (m_unnamedFd >= 0) {
        error = linkAs(m_finalPath);
        if (error == EEXIST) {
            // Replacing needs a name to rename from; it exists only for the
            // moment of the swap.
            const QString folder = QFileInfo(m_finalPath).path();
            const QString staging = temporaryNameIn(folder);
            error = linkAs(staging);
            if (error == 0 && ::rename(NativePath::encode(staging).constData(),
                                       NativePath::encode(m_finalPath).constData()) != 0) {
                error = errno;
                ::unlink(NativePath::encode(staging).constData());
            }
        }
    } else if (::rename(NativePath::encode(m_temporaryPath).constData(),
                        NativePath::encode(m_finalPath).constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        discard();
        return Status::failure(
            QStringLiteral("Cannot write “%1”: %2").arg(m_finalPath, errnoText(error)));
    }
    forgetPending();
    return {};
}

AtomicFile::Outcome AtomicFile::commitWithoutReplacing(const QString& path, QString* error) {
    if (!m_pending) {
        if (error != nullptr) {
            *error = QStringLiteral("Nothing to commit for “%1”").arg(path);
        }
        return Outcome::Failed;
    }
    // A link refuses an existing name atomically, so two writers can never
    // take the same name.
    int failure = linkAs(path);
    if (failure == 0) {
        if (m_unnamedFd < 0) {
            ::unlink(NativePath::encode(m_temporaryPath).constData());
        }
        forgetPending();
        m_finalPath = path;
        return Outcome::Committed;
    }
    if (failure == EEXIST) {
        return Outcome::NameTaken;
    }
    // File systems without hard links: check, then rename.
    if (m_unnamedFd < 0 && (failure == EPERM || failure == EOPNOTSUPP || failure == EXDEV)) {
        if (NativePath::exists(path) || NativePath::isSymLink(path)) {
            return Outcome::NameTaken;
        }
        const QByteArray from = NativePath::encode(m_temporaryPath);
        if (::rename(from.constData(), NativePath::encode(path).constData()) == 0) {
            forgetPending();
            m_finalPath = path;
            return Outcome::Committed;
        }
        failure = errno;
    }
    if (error != nullptr) {
        *error = QStringLiteral("Cannot write “%1”: %2").arg(path, errnoText(failure));
    }
    return Outcome::Failed;
}

Status AtomicFile::inFinalTerms(Status status) const {
    if (status.ok() || m_temporaryPath.isEmpty()) {
        return status;
    }
    return Status::failure(QString(status.error()).replace(m_temporaryPath, m_finalPath));
}

void AtomicFile::discard() {
    if (m_pending && m_unnamedFd < 0) {
        ::unlink(NativePath::encode(m_temporaryPath).constData());
    }
    forgetPending(); // closing an unnamed file is what removes it
}

void AtomicFile::forgetPending() {
    if (m_unnamedFd >= 0) {
        ::close(m_unnamedFd);
        m_unnamedFd = -1;
    }
    m_pending = false;
}

void failWritesPastFileSizeLimit() {
    // The previous disposition is of no use: nothing else sets this signal.
    (void)std::signal(SIGXFSZ, SIG_IGN);
}
