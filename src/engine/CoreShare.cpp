#include "engine/CoreShare.h"

#include <QThread>

#include <algorithm>

std::atomic<int> CoreShare::s_holders{0};
thread_local int CoreShare::t_depth = 0;

CoreShare::CoreShare() {
    if (t_depth++ == 0) {
        s_holders.fetch_add(1, std::memory_order_relaxed);
    }
}

CoreShare::~CoreShare() {
    if (--t_depth == 0) {
        s_holders.fetch_sub(1, std::memory_order_relaxed);
    }
}

int CoreShare::threads() const {
    const int cores = std::max(1, QThread::idealThreadCount());
    return std::max(1, cores / std::max(1, s_holders.load(std::memory_order_relaxed)));
}
