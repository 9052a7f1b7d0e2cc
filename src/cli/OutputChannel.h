#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// Standard output or error as the converter prints to it. A reader that went
// away (`| head`, a closed terminal, a killed log collector) silences the
// channel instead of ending the run: after the first failed write nothing more
// is written to it, and the conversion goes on. SIGPIPE must be ignored for a
// write to fail rather than kill.
//
// Threads: the main thread only.
class OutputChannel {
public:
    explicit OutputChannel(std::FILE* stream) : m_stream(stream) {}

    // The text as the bytes a path has on disk (see NativePath), so that a
    // script can reuse a printed name.
    void print(const QString& text);
    void printLine(const QString& text) { print(text + QLatin1Char('\n')); }
    void write(const QByteArray& bytes);

    bool isOpen() const { return !m_closed; }
    bool isTerminal() const;
    std::FILE* stream() const { return m_stream; }

private:
    std::FILE* m_stream;
    bool m_closed = false;
};

// SIGPIPE would end the process at the first write to a pipe nobody reads.
void ignoreBrokenPipes();
