#include "cli/ProgressReporter.h"

#include "cli/OutputChannel.h"
#include "engine/Process.h"
#include "engine/ProgressEstimate.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kRefreshMs = 200;
constexpr int kBarCells = 24;

int terminalWidth(const OutputChannel& out) {
    winsize size{};
    if (ioctl(fileno(out.stream()), TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
        return size.ws_col;
    }
    return 80;
}

} // namespace

ProgressReporter::ProgressReporter(Process& process, int totalPages, Style style,
                                   OutputChannel& out, QObject* parent)
    : QObject(parent), m_process(process), m_totalPages(totalPages), m_style(style), m_out(out) {
    m_clock.start();
    if (m_style == Style::Bar) {
        connect(&m_tick, &QTimer::timeout, this, &ProgressReporter::drawBar);
        connect(&m_process, &Process::totalPagesProcessedChanged, this, &ProgressReporter::drawBar);
        m_tick.start(kRefreshMs);
    } else if (m_style == Style::Lines) {
        connect(&m_process, &Process::totalFileProcessedChanged, this,
                &ProgressReporter::sourceFinished);
    }
}

QString ProgressReporter::barLine(int pagesDone, int totalPages, const QString& file,
                                  qint64 elapsedMs, int width) {
    const int total = qMax(totalPages, 1);
    const int done = qBound(0, pagesDone, total);
    const int filled = done * kBarCells / total;
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(kBarCells - filled, QLatin1Char('-'));
    QString line = QStringLiteral("%1% [%2] %3/%4 pages  %5 elapsed")
                       .arg(done * 100 / total, 3)
                       .arg(bar)
                       .arg(done)
                       .arg(totalPages)
                       .arg(clockText(elapsedMs / 1000));
    if (const auto leftMs = estimatedMsLeft(done, total, elapsedMs)) {
        line += QStringLiteral("  ~%1 left").arg(clockText((*leftMs + 999) / 1000));
    }
    if (!file.isEmpty()) {
        line += QStringLiteral("  ") + file;
    }
    if (line.size() > width - 1) {
        line = line.left(width - 2) + QChar(0x2026);
    }
    return line;
}

void ProgressReporter::drawBar() {
    const QString line =
        barLine(m_process.totalPagesProcessed(), m_totalPages, m_process.fileInProcess(),
                m_clock.elapsed(), terminalWidth(m_out));
    m_out.print(QStringLiteral("\r\x1b[K") + line);
    m_drawn = true;
}

void ProgressReporter::sourceFinished(int processed) {
    m_out.print(QStringLiteral("[%1/%2] %3 pages done, %4 elapsed\n")
                    .arg(processed)
                    .arg(m_process.outputFiles().size())
                    .arg(m_process.totalPagesProcessed())
                    .arg(clockText(m_clock.elapsed() / 1000)));
}

void ProgressReporter::end() {
    m_tick.stop();
    if (m_drawn) {
        m_out.print(QStringLiteral("\r\x1b[K"));
        m_drawn = false;
    }
}
