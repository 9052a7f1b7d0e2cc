#pragma once

#include <atomic>

// How many threads one page's work may take: the cores not taken by the
// other pages being worked on at the same time. Held for as long as the work
// runs; a thread that holds one already is not counted again, so a page task
// and the decoder and writer it calls share one count.
class CoreShare {
public:
    CoreShare();
    ~CoreShare();
    CoreShare(const CoreShare&) = delete;
    CoreShare& operator=(const CoreShare&) = delete;
    int threads() const;

private:
    static std::atomic<int> s_holders;
    static thread_local int t_depth;
};
