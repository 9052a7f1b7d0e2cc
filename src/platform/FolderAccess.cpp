#include "platform/FolderAccess.h"

#include "platform/NativePath.h"

#include <mutex>
#include <utility>

#include <unistd.h>

namespace {

std::mutex& overrideMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<bool(const QString&)>& currentOverride() {
    static std::function<bool(const QString&)> check;
    return check;
}

} // namespace

bool mayWriteInto(const QString& folder) {
    std::function<bool(const QString&)> check;
    {
        const std::lock_guard lock(overrideMutex());
        check = currentOverride();
    }
    if (check) {
        return check(folder);
    }
    return !folder.isEmpty() && NativePath::isAccessible(NativePath::absolutePath(folder), W_OK);
}

FolderAccessOverride::FolderAccessOverride(std::function<bool(const QString&)> check) {
    const std::lock_guard lock(overrideMutex());
    m_previous = std::exchange(currentOverride(), std::move(check));
}

FolderAccessOverride::~FolderAccessOverride() {
    const std::lock_guard lock(overrideMutex());
    currentOverride() = std::move(m_previous);
}
