#include "engine/TaskPool.h"

#include "engine/CoreShare.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <exception>

namespace {

// One thread runs strictly one task after another; more threads may run a
// little ahead so none waits on a slow page.
int lookAhead(int workers) {
    return workers == 1 ? 1 : workers + 1;
}

} // namespace

class TaskPool::Channel final : public TaskChannel {
public:
    Channel(TaskPool& pool, int index) : m_pool(pool), m_index(index) {}
    void publish(PageResult page) override {
        ++m_published;
        m_pool.publish(m_index, std::move(page));
    }
    bool mayContinue() override { return m_pool.mayContinue(m_index, m_published); }

private:
    TaskPool& m_pool;
    int m_index;
    int m_published = 0;
};

TaskPool::TaskPool(int workers, int taskCount, std::function<bool()> keepGoing, Runner run)
    : m_taskCount(taskCount), m_ahead(lookAhead(std::max(1, workers))),
      m_keepGoing(std::move(keepGoing)), m_run(std::move(run)),
      m_slots(static_cast<size_t>(m_ahead)) {
    const int threads = std::clamp(taskCount, 0, std::max(1, workers));
    m_threads.reserve(static_cast<size_t>(threads));
    for (int worker = 0; worker < threads; ++worker) {
        m_threads.emplace_back([this, worker] { work(worker); });
    }
}

TaskPool::~TaskPool() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_closing = true;
    }
    m_workersWake.notify_all();
    m_threads.clear(); // joins
}

void TaskPool::work(int worker) {
    for (;;) {
        int index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_workersWake.wait(lock, [this] {
                return m_stopped || m_next >= m_taskCount || m_next < m_committed + m_ahead;
            });
            if (m_stopped || m_next >= m_taskCount) {
                return;
            }
            if (!m_keepGoing()) {
                m_stopped = true;
                m_resultReady.notify_all();
                m_workersWake.notify_all();
                return;
            }
            index = m_next++;
            slot(index) = Slot{};
        }
        Channel channel(*this, index);
        TaskEnding ending;
        try {
            // Counted while the task runs, so a page alone on the pool gets the idle cores.
            const CoreShare share;
            ending = m_run(index, worker, channel);
        } catch (...) {
            // Nothing may leave a worker thread: the task fails, the pool goes on.
            ending = TaskEnding{};
            ending.end = TaskEnd::Failed;
            ending.error = exceptionReason(std::current_exception());
        }
        {
            const std::lock_guard lock(m_mutex);
            slot(index).ending = std::move(ending);
        }
        m_resultReady.notify_all();
    }
}

void TaskPool::publish(int index, PageResult page) {
    {
        const std::lock_guard lock(m_mutex);
        Slot& s = slot(index);
        s.pending.push_back(std::move(page));
        ++s.published;
    }
    m_resultReady.notify_all();
}

bool TaskPool::mayContinue(int index, int published) {
    std::unique_lock lock(m_mutex);
    m_workersWake.wait(lock, [&] {
        return m_closing || index != m_committed || slot(index).committed >= published;
    });
    return !m_closing && m_keepGoing();
}

TaskPool::Update TaskPool::next(int index) {
    std::unique_lock lock(m_mutex);
    m_resultReady.wait(lock, [&] {
        if (index >= m_next) {
            return m_stopped || m_threads.empty();
        }
        const Slot& s = slot(index);
        return !s.pending.empty() || s.ending.has_value();
    });
    Update update;
    if (index >= m_next) {
        update.ending = TaskEnding{};
        update.ending->end = TaskEnd::NotStarted;
        return update;
    }
    Slot& s = slot(index);
    update.pages.swap(s.pending);
    update.ending = s.ending;
    return update;
}

void TaskPool::committedPages(int index, int pages) {
    {
        const std::lock_guard lock(m_mutex);
        slot(index).committed = pages;
    }
    m_workersWake.notify_all();
}

void TaskPool::committedTask(int index) {
    {
        const std::lock_guard lock(m_mutex);
        m_committed = std::max(m_committed, index + 1);
    }
    m_workersWake.notify_all();
}

int TaskPool::stop() {
    int handedOut = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
        handedOut = m_next;
    }
    m_workersWake.notify_all();
    return handedOut;
}
