#pragma once

#include <QString>

#include <functional>

// Whether `folder` exists and this process may create files in it; asked of
// the system, so permissions, ACLs and read-only mounts all count.
// Threads: any thread.
bool mayWriteInto(const QString& folder);

// While it lives, `mayWriteInto` asks `check` instead of the system: tests
// make the refusals a system cannot make, such as a folder root may not write
// into. One at a time, made and ended on one thread.
class FolderAccessOverride {
public:
    explicit FolderAccessOverride(std::function<bool(const QString&)> check);
    ~FolderAccessOverride();
    FolderAccessOverride(const FolderAccessOverride&) = delete;
    FolderAccessOverride& operator=(const FolderAccessOverride&) = delete;

private:
    std::function<bool(const QString&)> m_previous;
};
