// libFuzzer target: the bytes of a list file, decoded as the import window
// (strict UTF-8) and pictavo-convert --list (lenient UTF-8) decode them, then
// parsed with the program's source types or with types from the input.
#include "filelist/FolderWalker.h"
#include "filelist/PathList.h"

#include <QStringDecoder>

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

    QStringDecoder strict(QStringDecoder::Utf8);
    const QString windowText = strict(bytes);
    parse(strict.hasError() ? QString() : windowText, types);
    parse(QString::fromUtf8(bytes), types);
    return 0;
}
