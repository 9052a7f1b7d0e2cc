#pragma once

#include "engine/PageTask.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs a plan's tasks on a few threads and hands their results back in plan
// order, so that whoever records them sees what a single thread would have
// produced.
//
// Tasks are handed out in order, at most `ahead` past the first one not yet
// committed; only a worker's current page is ever decoded, so memory stays
// bounded however long the plan. A gathered TIFF at the head of the order
// takes its next page only once its last one is committed, so a stop
// requested while recording a page ends it at that page boundary, as a
// single thread would.
//
// Threads: the consumer calls next(), committedPages(), committedTask() and
// stop() from one thread; `run` is called on the pool's threads.
class TaskPool {
public:
    // `worker` tells which of the pool's threads runs the task (0..workers-1).
    using Runner = std::function<TaskEnding(int task, int worker, TaskChannel& channel)>;

    TaskPool(int workers, int taskCount, std::function<bool()> keepGoing, Runner run);
    // Hands out nothing more and waits for the tasks in flight.
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    struct Update {
        std::vector<PageResult> pages;
        std::optional<TaskEnding> ending; // once the task has ended
    };
    // Waits for task `index` (the next one to commit) to report pages or
    // end. A task that was never handed out ends as NotStarted.
    Update next(int index);
    // The consumer has recorded `pages` pages of task `index`.
    void committedPages(int index, int pages);
    // Task `index` is recorded; the next one becomes the head.
    void committedTask(int index);
    // Hands out no more tasks; returns how many were handed out.
    int stop();

private:
    struct Slot {
        std::vector<PageResult> pending;
        std::optional<TaskEnding> ending;
        int published = 0;
        int committed = 0;
    };
    class Channel;

    void work(int worker);
    bool mayContinue(int index, int published);
    void publish(int index, PageResult page);
    Slot& slot(int index) { return m_slots[static_cast<size_t>(index % m_ahead)]; }

    const int m_taskCount;
    const int m_ahead;
    std::function<bool()> m_keepGoing;
    Runner m_run;

    std::mutex m_mutex;
    std::condition_variable m_workersWake;
    std::condition_variable m_resultReady;
    std::vector<Slot> m_slots;
    int m_next = 0;      // the next task to hand out
    int m_committed = 0; // tasks fully recorded
    bool m_stopped = false;
    bool m_closing = false;
    std::vector<std::jthread> m_threads; // last: joined before the rest goes
};
