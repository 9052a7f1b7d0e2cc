#include "platform/ThreadHandOff.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <memory>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define PICTAVO_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PICTAVO_TSAN 1
#endif
#endif

#ifdef PICTAVO_TSAN
#include <sanitizer/tsan_interface.h>

// In the runtime of both compilers, but not in GCC 12's header.
extern "C" void __tsan_ignore_thread_begin();
extern "C" void __tsan_ignore_thread_end();
#endif

namespace {

// A release and an acquire on the address of one hand-off: what Qt's queue
// lock and its blocking call's semaphore do, in a form the tool can see.
void handedOver([[maybe_unused]] const void* channel) {
#ifdef PICTAVO_TSAN
    __tsan_release(const_cast<void*>(channel));
#endif
}

void takenOver([[maybe_unused]] const void* channel) {
#ifdef PICTAVO_TSAN
    __tsan_acquire(const_cast<void*>(channel));
#endif
}

// Qt builds its call object from ours on the posting thread and frees it on
// either thread, ordered by its own locks; the posting thread's share of that
// bookkeeping is left unrecorded. The work itself is recorded on both sides.
class PostingUnrecorded {
public:
    PostingUnrecorded() {
#ifdef PICTAVO_TSAN
        __tsan_ignore_thread_begin();
#endif
    }
    ~PostingUnrecorded() {
#ifdef PICTAVO_TSAN
        __tsan_ignore_thread_end();
#endif
    }
    PostingUnrecorded(const PostingUnrecorded&) = delete;
    PostingUnrecorded& operator=(const PostingUnrecorded&) = delete;
};

// Queued work, owned by Qt's call object once posted. That object is freed on
// the receiving thread, or on the posting one inside the post (unrecorded).
class QueuedWork {
public:
    // On the heap, so its address names the hand-off wherever Qt moves this.
    explicit QueuedWork(std::function<void()> work)
        : m_work(std::make_unique<const std::function<void()>>(std::move(work))) {
        handedOver(m_work.get());
    }
    QueuedWork(QueuedWork&&) noexcept = default;
    QueuedWork& operator=(QueuedWork&&) noexcept = default;
    QueuedWork(const QueuedWork&) = delete;
    QueuedWork& operator=(const QueuedWork&) = delete;
    // Work dropped unrun with its context is freed on the thread that dropped it.
    ~QueuedWork() {
        if (m_work != nullptr) {
            takenOver(m_work.get());
        }
    }

    void operator()() const {
        takenOver(m_work.get());
        (*m_work)();
    }

private:
    std::unique_ptr<const std::function<void()>> m_work;
};

} // namespace

void runOnThreadOf(QObject* context, const std::function<void()>& work) {
    if (QThread::currentThread() == context->thread()) {
        work();
        return;
    }
    // Its address names this call; the frame outlives it, as the caller waits.
    const char channel = 0;
    handedOver(&channel);
    {
        const PostingUnrecorded posting;
        QMetaObject::invokeMethod(
            context,
            [&work, &channel] {
                takenOver(&channel);
                work();
                handedOver(&channel);
            },
            Qt::BlockingQueuedConnection);
    }
    takenOver(&channel);
}

void postToThreadOf(QObject* context, std::function<void()> work) {
    QueuedWork queued(std::move(work));
    // cppcheck-suppress unusedVariable ; a scope guard, there for its constructor
    const PostingUnrecorded posting;
    QMetaObject::invokeMethod(context, std::move(queued), Qt::QueuedConnection);
}
