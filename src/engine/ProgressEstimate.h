#pragma once

#include <QString>

#include <optional>

// How long a run still needs at the pace of the pages done so far. Nothing
// until a few pages or seconds have passed, when the pace starts to mean
// something, and nothing once every page is done.
std::optional<qint64> estimatedMsLeft(int pagesDone, int totalPages, qint64 elapsedMs);

// "mm:ss", or "h:mm:ss" from an hour on.
QString clockText(qint64 seconds);
