#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class OutputChannel;
class Process;

// Shows a job's progress on stderr: a live bar on a terminal, plain lines
// otherwise, nothing when quiet. A channel that closes stops only the
// showing.
//
// Threads: lives on the main thread; the job's signals reach it queued.
class ProgressReporter : public QObject {
    Q_OBJECT
public:
    enum class Style { Bar, Lines, Quiet };

    ProgressReporter(Process& process, int totalPages, Style style, OutputChannel& out,
                     QObject* parent = nullptr);

    // Clears the bar line, so that what follows starts on a clean line.
    void end();

    static QString barLine(int pagesDone, int totalPages, const QString& file, qint64 elapsedMs,
                           int width);

private:
    void drawBar();
    void sourceFinished(int processed);

    Process& m_process;
    int m_totalPages;
    Style m_style;
    OutputChannel& m_out;
    QElapsedTimer m_clock;
    QTimer m_tick;
    bool m_drawn = false;
};
