#include "platform/FolderAccess.h"

#include "platform/NativePath.h"

#include <unistd.h>

bool mayWriteInto(const QString& folder) {
    return !folder.isEmpty() && NativePath::isAccessible(NativePath::absolutePath(folder), W_OK);
}
