// libFuzzer target: a decoded page of any layout PageSource hands on (format,
// size, colour table, pixels, resolution, profile from the input) through
// every page writer, the multi-page TIFF encoder and a two-page PDF. A
// failure is an answer;
// a crash, leak or undefined behaviour is not.
#include "engine/ImageUtilities.h"
#include "engine/OutputFormats.h"
#include "engine/PdfDocument.h"
#include "engine/PdfWriter.h"
#include "engine/TiffWriter.h"

#include <QColorSpace>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr std::array kPageFormats = {
    QImage::Format_Mono,        QImage::Format_MonoLSB,  QImage::Format_Grayscale8,
    QImage::Format_Grayscale16, QImage::Format_Indexed8, QImage::Format_RGB888,
    QImage::Format_RGBA8888,    QImage::Format_RGBX64,   QImage::Format_RGBA64,
    QImage::Format_RGB32,       QImage::Format_ARGB32,
};

constexpr int kMaxSide = 257;

QList<QRgb> consumeColourTable(FuzzedDataProvider& input, int minimum, int maximum) {
    QList<QRgb> table(input.ConsumeIntegralInRange(minimum, maximum));
    for (QRgb& colour : table) {
        colour = input.ConsumeIntegral<QRgb>();
    }
    return table;
}

// Rows from the input while it lasts; zero after that.
void fillPixels(FuzzedDataProvider& input, QImage& page) {
    page.fill(0);
    const auto rowBytes = static_cast<size_t>(page.bytesPerLine());
    for (int y = 0; y < page.height() && input.remaining_bytes() > 0; ++y) {
        const std::vector<uint8_t> row = input.ConsumeBytes<uint8_t>(rowBytes);
        std::memcpy(page.scanLine(y), row.data(), row.size());
    }
}

QColorSpace consumeColourSpace(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 4)) {
    case 0:
        return {};
    case 1:
        return QColorSpace(QColorSpace::SRgb);
    case 2:
        return QColorSpace(QColorSpace::DisplayP3);
    case 3:
        return QColorSpace(QColorSpace::ProPhotoRgb);
    default: {
        const std::string bytes = input.ConsumeRandomLengthString(512);
        return QColorSpace::fromIccProfile(
            QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    }
}

QImage consumePage(FuzzedDataProvider& input) {
    const QImage::Format format = input.PickValueInArray(kPageFormats);
    const int width = input.ConsumeIntegralInRange(1, kMaxSide);
    const int height = input.ConsumeIntegralInRange(1, kMaxSide);
    QImage page(width, height, format);
    if (format == QImage::Format_Indexed8) {
        page.setColorTable(consumeColourTable(input, 1, 256));
    } else if ((format == QImage::Format_Mono || format == QImage::Format_MonoLSB) &&
               input.ConsumeBool()) {
        page.setColorTable(consumeColourTable(input, 2, 2));
    }
    if (input.ConsumeBool()) {
        page.setDotsPerMeterX(input.ConsumeIntegral<int>());
        page.setDotsPerMeterY(input.ConsumeIntegral<int>());
    }
    page.setColorSpace(consumeColourSpace(input));
    fillPixels(input, page);
    return page;
}

void saveInEveryFormat(const QImage& page, const QDir& folder, int jpegQuality) {
    for (const OutputFormat& format : outputFormats()) {
        const QString path = folder.filePath(QStringLiteral("page") + format.extensionText());
        if (format.id != OutputTiff) {
            ImageUtilities::save(page, path, WriteOptions{jpegQuality, 0});
            continue;
        }
        for (const TiffCompression& compression : tiffCompressions()) {
            ImageUtilities::save(page, path, WriteOptions{jpegQuality, compression.index});
        }
    }
}

void encodeTwoPages(const QImage& first, const QImage& second, const QDir& folder,
                    int compressionIndex) {
    TiffPageEncoder encoder(folder.filePath(QStringLiteral("pages.tiff")));
    if (encoder.appendPage(first, compressionIndex) &&
        encoder.appendPage(second, compressionIndex)) {
        static_cast<void>(encoder.finish());
    }
}

void writeTwoPagePdf(const QImage& first, const QImage& second, const QDir& folder) {
    PdfDocument document(folder.filePath(QStringLiteral("pages.pdf")), QStringLiteral("fuzz"));
    if (addDecodedPdfPage(document, first) && addDecodedPdfPage(document, second)) {
        static_cast<void>(document.finish());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QTemporaryDir folder;
    const QDir out(folder.path());
    FuzzedDataProvider input(data, size);
    const int jpegQuality =
        input.ConsumeBool() ? input.ConsumeIntegralInRange(0, 10) : input.ConsumeIntegral<int>();
    const int compressionIndex =
        input.ConsumeIntegralInRange(-1, static_cast<int>(tiffCompressions().size()));
    const QImage first = consumePage(input);
    const QImage second = input.ConsumeBool() ? first : consumePage(input);
    saveInEveryFormat(first, out, jpegQuality);
    encodeTwoPages(first, second, out, compressionIndex);
    writeTwoPagePdf(first, second, out);
    return 0;
}
