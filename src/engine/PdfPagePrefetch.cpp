#include "engine/PdfPagePrefetch.h"

#include "engine/PdfPages.h"
#include "platform/SystemLog.h"

#include <algorithm>

PdfPagePrefetch::PdfPagePrefetch(const PageSource& source, const QList<int>& indexes,
                                 const DecodeLimits& limits, int helpers)
    : m_indexes(indexes.begin(), indexes.end()), m_limits(limits), m_slots(m_indexes.size()),
      // Room for each thread to have one page under way and one done.
      m_ahead(2 * (static_cast<size_t>(std::max(0, helpers)) + 1)) {
    for (int h = 0; h < helpers && m_indexes.size() > 1; ++h) {
        std::unique_ptr<PageSource> twin = source.twin();
        if (!twin) {
            break;
        }
        m_helpers.emplace_back([this, twin = std::move(twin)]() mutable { help(*twin); });
    }
}

PdfPagePrefetch::~PdfPagePrefetch() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_helpers.clear(); // joins
}

bool PdfPagePrefetch::mayClaim() const {
    return m_nextClaim < std::min(m_slots.size(), m_nextTake + m_ahead);
}

void PdfPagePrefetch::make(PageSource& source, size_t slot, std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    std::optional<PdfPage> page;
    // What fails here is left to the owner, which decodes the page and
    // tells what is wrong with it.
    logFailures(QStringLiteral("PDF page reader"),
                [&] { page = storedPdfPage(source, m_indexes[slot], m_limits); });
    lock.lock();
    m_slots[slot] = Slot{true, std::move(page)};
    m_changed.notify_all();
}

void PdfPagePrefetch::help(PageSource& source) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        m_changed.wait(
            lock, [this] { return m_stopping || m_nextClaim >= m_slots.size() || mayClaim(); });
        if (m_stopping || m_nextClaim >= m_slots.size()) {
            return;
        }
        make(source, m_nextClaim++, lock);
    }
}

bool PdfPagePrefetch::take(int index, PageSource& source, std::optional<PdfPage>& page) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_helpers.empty() || m_nextTake >= m_slots.size() || m_indexes[m_nextTake] != index) {
        return false;
    }
    // The owner makes pages too while the one it needs is under way.
    while (!m_slots[m_nextTake].done) {
        if (mayClaim()) {
            make(source, m_nextClaim++, lock);
        } else {
            m_changed.wait(lock);
        }
    }
    page = std::move(m_slots[m_nextTake].page);
    m_slots[m_nextTake].page.reset();
    ++m_nextTake;
    lock.unlock();
    m_changed.notify_all();
    return true;
}
