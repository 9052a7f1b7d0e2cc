#include "platform/SystemLog.h"

#include "platform/NativePath.h"

#include <QByteArray>

#include <cstdio>
#include <mutex>
#include <utility>

#include <syslog.h>

namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

SystemLogSink& currentSink() {
    static SystemLogSink sink;
    return sink;
}

void writeToSystem(const QString& line) {
    // The system log takes text: a name's stray bytes show as U+FFFD.
    const QByteArray bytes = NativePath::displayPath(line).toUtf8();
    // Nowhere left to report a failing stderr; syslog still gets the line.
    (void)std::fprintf(stderr, "%s\n", bytes.constData());
    (void)std::fflush(stderr);
    syslog(LOG_USER | LOG_NOTICE, "%s", bytes.constData());
}

} // namespace

void systemLog(const QString& line) {
    SystemLogSink sink;
    {
        const std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(line);
    } else {
        writeToSystem(line);
    }
}

void systemLogError(const QString& where, const QString& reason) {
    systemLog(QStringLiteral("Error in ") + where + QStringLiteral(" : ") + reason);
}

QString exceptionReason(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unknown exception");
    }
}

SystemLogRedirect::SystemLogRedirect(SystemLogSink sink) {
    const std::lock_guard lock(sinkMutex());
    m_previous = std::exchange(currentSink(), std::move(sink));
}

SystemLogRedirect::~SystemLogRedirect() {
    const std::lock_guard lock(sinkMutex());
    currentSink() = std::move(m_previous);
}
