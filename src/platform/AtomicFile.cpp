#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString temporaryNameIn(const QString& folder) {
    const quint64 token = QRandomGenerator::global()->generate64();
    const QString name = QStringLiteral(".pictavo-%1.tmp").arg(token, 16, 16, QLatin1Char('0'));
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

} // namespace

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
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = temporaryNameIn(folder);
        const QByteArray encoded = QFile::encodeName(candidate);
        // 0666 lets the umask decide, as for any new file.
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

Status AtomicFile::commit() {
    if (!m_pending) {
        return Status::failure(QStringLiteral("Nothing to commit for “%1”").arg(m_finalPath));
    }
    const QByteArray from = QFile::encodeName(m_temporaryPath);
    const QByteArray to = QFile::encodeName(m_finalPath);
    if (::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        discard();
        return Status::failure(
            QStringLiteral("Cannot write “%1”: %2").arg(m_finalPath, errnoText(error)));
    }
    m_pending = false;
    return {};
}

AtomicFile::Outcome AtomicFile::commitWithoutReplacing(const QString& path, QString* error) {
    if (!m_pending) {
        if (error != nullptr) {
            *error = QStringLiteral("Nothing to commit for “%1”").arg(path);
        }
        return Outcome::Failed;
    }
    const QByteArray from = QFile::encodeName(m_temporaryPath);
    const QByteArray to = QFile::encodeName(path);
    // link() refuses an existing name atomically, so two writers can never
    // take the same name.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        m_pending = false;
        m_finalPath = path;
        return Outcome::Committed;
    }
    int failure = errno;
    if (failure == EEXIST) {
        return Outcome::NameTaken;
    }
    // File systems without hard links: check, then rename.
    if (failure == EPERM || failure == EOPNOTSUPP || failure == EXDEV) {
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
            return Outcome::NameTaken;
        }
        if (::rename(from.constData(), to.constData()) == 0) {
            m_pending = false;
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

void AtomicFile::discard() {
    if (m_pending) {
        ::unlink(QFile::encodeName(m_temporaryPath).constData());
        m_pending = false;
    }
}
