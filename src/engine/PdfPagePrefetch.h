#pragma once

#include "engine/PageSource.h"
#include "engine/PdfDocument.h"

#include <QList>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The stored data of a source's pages made into PDF pages ahead of the
// document that takes them, on helper threads that each read through a twin
// of the source (see PageSource::twin()). A long scanned document is then
// checked and coded on every core the job leaves free, while its pages still
// go into the document one at a time and in order. The owner makes pages
// too while it waits; a few pages per thread at most are held ahead of the
// document.
//
// Threads: take() is called by the owner's thread alone; the helpers stop
// and are joined when the object is destroyed.
class PdfPagePrefetch {
public:
    // `indexes` (from 0) in the order they will be taken. Nothing runs when
    // `helpers` is 0 or the source has no twin.
    PdfPagePrefetch(const PageSource& source, const QList<int>& indexes, const DecodeLimits& limits,
                    int helpers);
    ~PdfPagePrefetch();
    PdfPagePrefetch(const PdfPagePrefetch&) = delete;
    PdfPagePrefetch& operator=(const PdfPagePrefetch&) = delete;

    bool running() const { return !m_helpers.empty(); }
    // Page `index`, the next in order, made from its stored data (through
    // `source`, the owner's, when the owner makes it): into `page` the PDF
    // page, or nothing when it must be decoded. False when nothing runs here
    // or the page was not asked for in order.
    bool take(int index, PageSource& source, std::optional<PdfPage>& page);

private:
    struct Slot {
        bool done = false;
        std::optional<PdfPage> page;
    };
    void help(PageSource& source);
    // Slots are claimed in order, within m_ahead of the next to be taken.
    bool mayClaim() const;
    // Makes the claimed slot with the lock released meanwhile.
    void make(PageSource& source, size_t slot, std::unique_lock<std::mutex>& lock);

    std::vector<int> m_indexes;
    DecodeLimits m_limits;
    std::vector<Slot> m_slots;
    size_t m_ahead = 1;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_nextClaim = 0;
    size_t m_nextTake = 0;
    bool m_stopping = false;
    std::vector<std::jthread> m_helpers;
};
