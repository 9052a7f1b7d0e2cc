#pragma once

#include <QString>

#include <functional>

// The application's diagnostic log: each line goes to stderr and to syslog(3).
// Callable from any thread.
void systemLog(const QString& line);

// "Error in" lines share one shape; `where` is written as the caller gives it,
// e.g. "(Settings=>setData:)" or "convertAction".
void systemLogError(const QString& where, const QString& reason);

using SystemLogSink = std::function<void(const QString&)>;

// Replaces where lines go until the returned guard is destroyed. Tests use it
// to capture lines; the previous sink comes back afterwards.
class SystemLogRedirect {
public:
    explicit SystemLogRedirect(SystemLogSink sink);
    ~SystemLogRedirect();
    SystemLogRedirect(const SystemLogRedirect&) = delete;
    SystemLogRedirect& operator=(const SystemLogRedirect&) = delete;

private:
    SystemLogSink m_previous;
};
