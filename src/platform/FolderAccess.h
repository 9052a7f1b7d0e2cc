#pragma once

#include <QString>

// Whether `folder` exists and this process may create files in it; asked of
// the system, so permissions, ACLs and read-only mounts all count.
bool mayWriteInto(const QString& folder);
