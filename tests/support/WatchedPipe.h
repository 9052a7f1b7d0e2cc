#pragma once

#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A named pipe that tells whether anything opened it for reading. Such a
// reader waits for a writer that never comes; release() plays the writer for
// a moment, so the reader meets the end of the file and goes on, and the test
// ends with a failure instead of hanging.
class WatchedPipe {
public:
    explicit WatchedPipe(QString path) : m_path(std::move(path)) {
        m_made = ::mkfifo(QFile::encodeName(m_path).constData(), 0666) == 0;
    }

    bool made() const { return m_made; }
    const QString& path() const { return m_path; }
    bool wasOpened() const { return m_opened; }

    // Lets a waiting reader go; notes that there was one.
    void release() {
        // Without a reader this open fails at once (ENXIO) instead of waiting.
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            m_opened = true;
            ::close(fd);
        }
    }

private:
    QString m_path;
    bool m_made = false;
    bool m_opened = false;
};
