#include "engine/ProgressEstimate.h"

namespace {

constexpr int kPagesBeforeEstimate = 3;
constexpr qint64 kMsBeforeEstimate = 5000;

} // namespace

std::optional<qint64> estimatedMsLeft(int pagesDone, int totalPages, qint64 elapsedMs) {
    if (pagesDone <= 0 || pagesDone >= totalPages || elapsedMs < 0) {
        return std::nullopt;
    }
    if (pagesDone < kPagesBeforeEstimate && elapsedMs < kMsBeforeEstimate) {
        return std::nullopt;
    }
    return elapsedMs * (totalPages - pagesDone) / pagesDone;
}

QString clockText(qint64 seconds) {
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds % 3600) / 60;
    const qint64 s = seconds % 60;
    const auto two = [](qint64 v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    const QString minutesAndSeconds = two(m) + QLatin1Char(':') + two(s);
    return h > 0 ? QString::number(h) + QLatin1Char(':') + minutesAndSeconds : minutesAndSeconds;
}
