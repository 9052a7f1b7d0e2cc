// libFuzzer target: the bytes as the usage file "Usages.Log", loaded by the
// program's UsageStore, asked what the launch checks ask, saved and loaded
// again.
#include "usage/UsageStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const QTemporaryDir& folder() {
    static const QTemporaryDir dir;
    return dir;
}

UsageStore freshStore() {
    return UsageStore(folder().path(), {QStringLiteral("Pictavo"), QStringLiteral("2.0"), {}},
                      QStringLiteral("00000000-0000-0000-0000-000000000000"));
}

bool writeUsageFile(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
               static_cast<qint64>(size);
}

void askLaunchQuestions(const UsageStore& store) {
    static_cast<void>(store.totalFileCount());
    static_cast<void>(store.isReviewDue());
    static_cast<void>(store.isReportDue(QDateTime::currentDateTime()));
    for (const QDateTime& date :
         {store.buildDate(), store.lastReportSentOn(), store.lastReviewAskDate()}) {
        static_cast<void>(UsageStore::dateText(date, store.timeZone()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    UsageStore store = freshStore();
    if (!writeUsageFile(store.filePath(), data, size) || !store.load()) {
        std::abort(); // a written file always loads, whatever it holds
    }
    askLaunchQuestions(store);
    if (!store.save()) {
        return 0;
    }
    // What was saved reads back as the same counters.
    UsageStore reread = freshStore();
    if (!reread.load() || reread.features().size() != store.features().size()) {
        std::abort();
    }
    for (size_t i = 0; i < store.features().size(); ++i) {
        if (reread.features()[i].usagesCount != store.features()[i].usagesCount ||
            reread.features()[i].filesCount != store.features()[i].filesCount) {
            std::abort();
        }
    }
    return 0;
}
