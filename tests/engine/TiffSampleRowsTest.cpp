#include "engine/TiffSampleRows.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// Packs values MSB first, the way TIFF stores samples narrower than a byte
// or not a whole number of bytes.
std::vector<uint8_t> packBits(const std::vector<uint16_t>& values, uint16_t bits) {
    std::vector<uint8_t> out((values.size() * bits + 7) / 8 + 1, 0);
    size_t pos = 0;
    for (const uint16_t v : values) {
        for (int b = bits - 1; b >= 0; --b, ++pos) {
            if ((v >> b) & 1U) {
                out[pos / 8] = static_cast<uint8_t>(out[pos / 8] | (0x80U >> (pos % 8)));
            }
        }
    }
    return out;
}

struct UnpackCase {
    const char* name;
    uint16_t bits;
    std::vector<uint16_t> values;
};

const UnpackCase kUnpacks[] = {
    {"OneBit", 1, {1, 0, 1, 1, 0, 0, 0, 1, 1, 0, 1}},
    {"TwoBits", 2, {3, 0, 2, 1, 3, 3, 0}},
    {"ThreeBitsCrossBytes", 3, {7, 1, 4, 2, 6, 5, 0, 3, 7}},
    {"FourBits", 4, {15, 0, 9, 6, 1}},
    {"FiveBits", 5, {31, 17, 2, 30, 8}},
    {"TwelveBits", 12, {4095, 0, 2049, 1234, 7}},
    {"FifteenBits", 15, {32767, 1, 16384, 12345}},
};

class UnpackSamplesTest : public ::testing::TestWithParam<UnpackCase> {};

TEST_P(UnpackSamplesTest, RecoversEveryPackedValueAtItsStride) {
    const UnpackCase& c = GetParam();
    const std::vector<uint8_t> packed = packBits(c.values, c.bits);
    const uint32_t stride = 3;
    std::vector<uint16_t> out(c.values.size() * stride, 0xBEEF);
    unpackSamples(packed.data(), uint32_t(c.values.size()), c.bits, out.data() + 1, stride);
    for (size_t i = 0; i < c.values.size(); ++i) {
        EXPECT_EQ(out[i * stride + 1], c.values[i]) << i;
        EXPECT_EQ(out[i * stride], 0xBEEF) << "wrote outside its stride at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, UnpackSamplesTest, ::testing::ValuesIn(kUnpacks), ByName());

TEST(TiffSampleRowsTest, TwelveBitGrayScalesToSixteenBits) {
    DecodePlan plan;
    plan.kind = PixelKind::Gray;
    plan.format = QImage::Format_Grayscale16;
    const std::vector<uint16_t> samples = {0, 4095, 2048};
    std::vector<uint16_t> row(3);
    convertSampleRow(plan, samples.data(), 3, 1, 12, reinterpret_cast<uchar*>(row.data()));
    EXPECT_EQ(row, (std::vector<uint16_t>{0, 65535, uint16_t(2048U * 65535U / 4095U)}));
}

} // namespace
