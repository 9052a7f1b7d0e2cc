// libFuzzer target: the bytes of a list file, decoded as the import window and
// pictavo-convert --list decode them (byte for byte, through NativePath), then
// parsed with the program's source types or with types from the input. The
// decoding must give back exactly the bytes it was given.
#include "filelist/FolderWalker.h"
#include "filelist/PathList.h"
#include "platform/NativePath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// As the import window's comma-separated setting; may be empty.
QStringList typesFrom(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return allowedFileTypes();
    }
    const std::string text = input.ConsumeRandomLengthString(64);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .split(QLatin1Char(','), Qt::SkipEmptyParts);
}

void parse(const QString& text, const QStringList& types) {
    for (const QUrl& url : parsePathList(text, types, QStringLiteral("/base"))) {
        if (!url.isLocalFile()) {
            std::abort(); // every path of a list names a local file
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QStringList types = typesFrom(input);
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray bytes(rest.data(), static_cast<qsizetype>(rest.size()));

    const QString text = NativePath::decode(bytes);
    if (NativePath::encode(text) != bytes) {
        std::abort();
    }
    parse(text, types);
    return 0;
}
