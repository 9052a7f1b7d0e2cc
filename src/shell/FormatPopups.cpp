#include "shell/FormatPopups.h"

#include "engine/OutputFormats.h"

#include <QComboBox>

void fillFormatPopups(QComboBox* outputTypes, QComboBox* compressions) {
    for (const OutputFormat& format : outputFormats()) {
        outputTypes->addItem(QLatin1StringView(format.label));
    }
    for (const TiffCompression& compression : tiffCompressions()) {
        compressions->addItem(QLatin1StringView(compression.label));
    }
}
