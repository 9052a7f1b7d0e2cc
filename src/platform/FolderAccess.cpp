#include "platform/FolderAccess.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

bool mayWriteInto(const QString& folder) {
    const QFileInfo info(folder);
    return info.exists() &&
           ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK) == 0;
}
