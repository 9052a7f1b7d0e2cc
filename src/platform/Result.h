#pragma once

#include <QString>

#include <optional>
#include <utility>

// The outcome of an operation that can fail: a value, or the text that says
// why not. [[nodiscard]] so that a failure cannot be dropped silently.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {} // NOLINT(google-explicit-constructor)

    static Result failure(QString error) { return Result(std::move(error), Failure{}); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return *m_value; }
    T& value() & { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    const T& operator*() const& { return *m_value; }
    T& operator*() & { return *m_value; }
    const T* operator->() const { return &*m_value; }
    T* operator->() { return &*m_value; }

    const QString& error() const { return m_error; }

private:
    struct Failure {};
    Result(QString error, Failure) : m_error(std::move(error)) {}

    std::optional<T> m_value;
    QString m_error;
};

// For operations that yield nothing but can fail.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status failure(QString error) {
        Status s;
        s.m_failed = true;
        s.m_error = std::move(error);
        return s;
    }
    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};
