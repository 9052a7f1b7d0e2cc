#pragma once

#include <functional>

class QObject;

// Work handed from a worker to the thread of a QObject through Qt's event
// queue. Under ThreadSanitizer the hand-off is also announced to it: Qt orders
// the two threads with its own locks, which an uninstrumented Qt keeps out of
// its sight, so every value passed across would otherwise show as a race.

// Runs `work` on the thread of `context` and returns when it is done: directly
// when the caller is already on that thread, else as a blocking queued call
// (which needs that thread's event loop running). What `work` wrote is visible
// to the caller afterwards.
void runOnThreadOf(QObject* context, const std::function<void()>& work);

// Queues `work` to run on the thread of `context` and returns at once. It never
// runs if `context` is deleted first.
void postToThreadOf(QObject* context, std::function<void()> work);
