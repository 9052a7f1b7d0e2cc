#include "engine/OutputFormats.h"

#include "support/TestEnvironment.h"

#include <QSet>
#include <QString>

#include <gtest/gtest.h>
#include <string>

#include <tiffio.h>

namespace {

// The codes are stored in the preferences and the names are typed on command
// lines and seen in the settings panel: none of them may drift.

struct FormatRow {
    std::string name;
    int id;
    const char* extension;
    const char* cliName;
    const char* label;
    bool jpegQuality;
    bool tiffSplit;
    bool tiffCompression;
};

class OutputFormatRowTest : public ::testing::TestWithParam<FormatRow> {};

TEST_P(OutputFormatRowTest, StoredCodeKeepsItsNamesAndOptions) {
    const FormatRow& c = GetParam();
    const OutputFormat* format = outputFormat(c.id);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->id, c.id);
    EXPECT_STREQ(format->extension, c.extension);
    EXPECT_STREQ(format->cliName, c.cliName);
    EXPECT_STREQ(format->label, c.label);
    EXPECT_EQ(format->options.jpegQuality, c.jpegQuality);
    EXPECT_EQ(format->options.tiffSplit, c.tiffSplit);
    EXPECT_EQ(format->options.tiffCompression, c.tiffCompression);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, OutputFormatRowTest,
    ::testing::Values(FormatRow{"Jpeg", 0, ".jpg", "jpg", "JPEG", true, false, false},
                      FormatRow{"Png", 1, ".png", "png", "PNG", false, false, false},
                      FormatRow{"Tiff", 2, ".tiff", "tiff", "TIFF", false, true, true},
                      FormatRow{"Bmp", 3, ".bmp", "bmp", "BMP", false, false, false},
                      FormatRow{"Gif", 4, ".gif", "gif", "GIF", false, false, false}),
    ByName());

struct CompressionRow {
    std::string name;
    int index;
    const char* label;
    const char* cliName;
    uint16_t tag;
    bool bilevelOnly;
};

class TiffCompressionRowTest : public ::testing::TestWithParam<CompressionRow> {};

TEST_P(TiffCompressionRowTest, StoredIndexKeepsItsCodec) {
    const CompressionRow& c = GetParam();
    const TiffCompression& compression = tiffCompression(c.index);
    EXPECT_EQ(compression.index, c.index);
    EXPECT_STREQ(compression.label, c.label);
    EXPECT_STREQ(compression.cliName, c.cliName);
    EXPECT_EQ(compression.tag, c.tag);
    EXPECT_EQ(compression.bilevelOnly, c.bilevelOnly);
}

INSTANTIATE_TEST_SUITE_P(
    Indexes, TiffCompressionRowTest,
    ::testing::Values(
        CompressionRow{"None", 0, "None", "none", COMPRESSION_NONE, false},
        CompressionRow{"Group3", 1, "CCITT Group 3 Fax", "g3", COMPRESSION_CCITTFAX3, true},
        CompressionRow{"Group4", 2, "CCITT Group 4 Fax", "g4", COMPRESSION_CCITTFAX4, true},
        CompressionRow{"Lzw", 3, "LZW", "lzw", COMPRESSION_LZW, false},
        CompressionRow{"PackBits", 4, "PackBits", "packbits", COMPRESSION_PACKBITS, false}),
    ByName());

// A preferences file may hold any number.
TEST(TiffCompressionTest, IndexOutsideTheTableStoresUncompressed) {
    for (const int index : {-1, 5, 7}) {
        EXPECT_EQ(tiffCompression(index).tag, COMPRESSION_NONE) << index;
    }
}

// Each code is its row's position, and every name picks one row only.
TEST(OutputFormatsTest, TableIsIndexedByCodeWithDistinctNames) {
    QSet<QString> extensions;
    QSet<QString> cliNames;
    QSet<QString> labels;
    int position = 0;
    for (const OutputFormat& format : outputFormats()) {
        EXPECT_EQ(format.id, position);
        EXPECT_EQ(outputFormat(position), &format);
        const QString extension = QLatin1StringView(format.extension);
        ASSERT_TRUE(extension.startsWith(QLatin1Char('.'))) << format.extension;
        EXPECT_EQ(outputFormatWithExtension(extension.sliced(1)), &format) << format.extension;
        extensions.insert(extension);
        cliNames.insert(QLatin1StringView(format.cliName));
        labels.insert(QLatin1StringView(format.label));
        ++position;
    }
    EXPECT_EQ(extensions.size(), position);
    EXPECT_EQ(cliNames.size(), position);
    EXPECT_EQ(labels.size(), position);
    EXPECT_EQ(outputFormat(position), nullptr);
    EXPECT_EQ(outputFormat(-1), nullptr);
}

TEST(OutputFormatsTest, CompressionsAreIndexedByPositionWithDistinctNames) {
    QSet<QString> cliNames;
    QSet<QString> labels;
    int position = 0;
    for (const TiffCompression& compression : tiffCompressions()) {
        EXPECT_EQ(compression.index, position);
        cliNames.insert(QLatin1StringView(compression.cliName));
        labels.insert(QLatin1StringView(compression.label));
        ++position;
    }
    EXPECT_EQ(cliNames.size(), position);
    EXPECT_EQ(labels.size(), position);
}

} // namespace
