// Frames into X11 images: each visual layout a server may announce, the row
// padding, and the split into requests under the server's size limit. The
// expected bytes are worked out by hand from the masks.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/x11_pixels.h"

namespace {

using x11pixels::Format;

struct LayoutCase {
    const char* name;
    Format format;
    std::vector<std::uint8_t> pixel;  // the bytes of rgb 0x12 0x34 0x56
    std::vector<std::uint8_t> white;  // the bytes of rgb 0xff 0xff 0xff
};

class PixelLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PixelLayout, OnePixelGoesWhereTheMasksAndByteOrderSay) {
    const LayoutCase& c = GetParam();
    ASSERT_TRUE(x11pixels::supported(c.format));
    const x11pixels::Converter converter(c.format);
    const std::size_t bytes = static_cast<std::size_t>(c.format.bitsPerPixel / 8);
    const std::uint8_t rgb[6] = {0x12, 0x34, 0x56, 0xff, 0xff, 0xff};
    std::vector<std::uint8_t> out(x11pixels::rowBytes(c.format, 2), 0xEE);
    converter.convert(rgb, 2, 1, out.data());
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + bytes), c.pixel);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + bytes, out.begin() + 2 * bytes), c.white);
    for (std::size_t i = 2 * bytes; i < out.size(); ++i) EXPECT_EQ(out[i], 0) << "padding byte " << i;
}

// 0x12 0x34 0x56 in 5-6-5: 0x12 >> 3 = 2, 0x34 >> 2 = 13, 0x56 >> 3 = 10 ->
// 2 << 11 | 13 << 5 | 10 = 0x11AA. In 5-5-5: 2 << 10 | 6 << 5 | 10 = 0x08CA.
// In 10-10-10 the channels are bit-replicated: 0x048, 0x0D0, 0x159 ->
// 0x048 << 20 | 0x0D0 << 10 | 0x159 = 0x04834159.
INSTANTIATE_TEST_SUITE_P(
    Visuals, PixelLayout,
    ::testing::Values(
        LayoutCase{"depth24_bpp32_lsb", {24, 32, 32, false, 0xff0000, 0xff00, 0xff}, {0x56, 0x34, 0x12, 0x00},
                   {0xff, 0xff, 0xff, 0x00}},
        LayoutCase{"depth24_bpp32_msb", {24, 32, 32, true, 0xff0000, 0xff00, 0xff}, {0x00, 0x12, 0x34, 0x56},
                   {0x00, 0xff, 0xff, 0xff}},
        LayoutCase{"depth32_alpha_is_opaque", {32, 32, 32, false, 0xff0000, 0xff00, 0xff}, {0x56, 0x34, 0x12, 0xff},
                   {0xff, 0xff, 0xff, 0xff}},
        LayoutCase{"depth24_bgr", {24, 32, 32, false, 0xff, 0xff00, 0xff0000}, {0x12, 0x34, 0x56, 0x00},
                   {0xff, 0xff, 0xff, 0x00}},
        LayoutCase{"depth24_bpp24_lsb", {24, 24, 32, false, 0xff0000, 0xff00, 0xff}, {0x56, 0x34, 0x12},
                   {0xff, 0xff, 0xff}},
        LayoutCase{"depth24_bpp24_msb", {24, 24, 32, true, 0xff0000, 0xff00, 0xff}, {0x12, 0x34, 0x56},
                   {0xff, 0xff, 0xff}},
        LayoutCase{"depth16_565_lsb", {16, 16, 32, false, 0xf800, 0x07e0, 0x001f}, {0xAA, 0x11}, {0xff, 0xff}},
        LayoutCase{"depth16_565_msb", {16, 16, 32, true, 0xf800, 0x07e0, 0x001f}, {0x11, 0xAA}, {0xff, 0xff}},
        LayoutCase{"depth15_555", {15, 16, 32, false, 0x7c00, 0x03e0, 0x001f}, {0xCA, 0x08}, {0xff, 0x7f}},
        LayoutCase{"depth30_101010", {30, 32, 32, false, 0x3ff00000, 0x000ffc00, 0x000003ff},
                   {0x59, 0x41, 0x83, 0x04}, {0xff, 0xff, 0xff, 0x3f}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return info.param.name; });

TEST(PixelRows, RowsArePaddedAndFollowEachOther) {
    // Three pixels of 24 bits make 9 bytes, padded to 12 on a 32-bit pad.
    const Format format{24, 24, 32, false, 0xff0000, 0xff00, 0xff};
    ASSERT_EQ(x11pixels::rowBytes(format, 3), 12u);
    const std::uint8_t rgb[18] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    std::vector<std::uint8_t> out(24, 0xEE);
    x11pixels::Converter(format).convert(rgb, 3, 2, out.data());
    const std::vector<std::uint8_t> expected = {3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0,
                                                12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0};
    EXPECT_EQ(out, expected);
}

TEST(PixelRows, RowBytes) {
    struct Case {
        int bitsPerPixel, pad, width;
        std::size_t bytes;
    };
    const Case cases[] = {{32, 32, 500, 2000}, {24, 32, 500, 1500}, {24, 32, 3, 12}, {24, 8, 3, 9},
                          {16, 32, 3, 8},      {16, 16, 3, 6},      {32, 32, 0, 0}};
    for (const Case& c : cases) {
        const Format format{16, c.bitsPerPixel, c.pad, false, 0xf800, 0x07e0, 0x001f};
        EXPECT_EQ(x11pixels::rowBytes(format, c.width), c.bytes)
            << c.bitsPerPixel << " bpp, pad " << c.pad << ", width " << c.width;
    }
}

TEST(PixelRows, RequestsStayUnderTheServersLimit) {
    struct Case {
        std::size_t maxRequest, rowBytes;
        int height, rows;
    };
    const Case cases[] = {
        {65535 * 4, 2000, 140, 131},          // no BIG-REQUESTS: (262140 - 24) / 2000
        {4194303u * 4, 2000, 140, 140},       // BIG-REQUESTS: the whole frame at once
        {24 + 2000, 2000, 140, 1},            // one row only
        {24 + 1999, 2000, 140, 0},            // not even that
        {0, 2000, 140, 0},
        {65535 * 4, 0, 140, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(x11pixels::rowsPerRequest(c.maxRequest, c.rowBytes, c.height), c.rows)
            << c.maxRequest << " bytes at most, rows of " << c.rowBytes;
    }
}

TEST(PixelRows, LayoutsThatCannotBeFilled) {
    const Format good{24, 32, 32, false, 0xff0000, 0xff00, 0xff};
    ASSERT_TRUE(x11pixels::supported(good));
    struct Case {
        const char* why;
        Format format;
    };
    Format eightBits = good, overlap = good, gap = good, beyondDepth = good, pad = good, deep = good, noMask = good;
    eightBits.bitsPerPixel = 8;
    eightBits.depth = 8;
    overlap.greenMask = 0x01ff00;
    gap.redMask = 0xf0f000;
    beyondDepth.redMask = 0xff000000;
    pad.scanlinePad = 4;
    deep.depth = 33;
    noMask.blueMask = 0;
    const Case cases[] = {{"8 bits per pixel", eightBits},  {"overlapping masks", overlap},
                          {"a mask with a gap", gap},       {"a mask beyond the depth", beyondDepth},
                          {"a pad of half a byte", pad},    {"a depth beyond the pixel", deep},
                          {"a channel without bits", noMask}};
    for (const Case& c : cases) EXPECT_FALSE(x11pixels::supported(c.format)) << c.why;
}

}  // namespace
