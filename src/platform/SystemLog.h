#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <utility>

// The application's diagnostic log: each line goes to stderr and to syslog(3).
// Callable from any thread.
void systemLog(const QString& line);

// "Error in" lines share one shape; `where` is written as the caller gives it,
// e.g. "(Settings=>setData:)" or "convertAction".
void systemLogError(const QString& where, const QString& reason);

// What an exception says, for an "Error in" line; one that is no
// std::exception is an "unknown exception".
QString exceptionReason(const std::exception_ptr& error);

// Runs `body` as one command, view or model operation: an exception it raises
// ends it and becomes the line "Error in <where> : <reason>". False then, so
// the caller can give its neutral result.
template <typename Body> bool logFailures(const QString& where, Body&& body) {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (...) {
        systemLogError(where, exceptionReason(std::current_exception()));
        return false;
    }
}

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
