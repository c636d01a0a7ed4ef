#include "enhance.h"

#include <gtest/gtest.h>

#include <vector>

namespace qvx::raster {
namespace {

RasterSettings Enhanced(int16_t kernel, int16_t chroma) {
  RasterSettings s;
  s.code = 0x205;
  s.cmFlag = 1;
  s.colorAdjust = 1;
  s.colorAdjustments[0] = kernel;
  s.colorAdjustments[1] = chroma;
  return s;
}

TEST(Enhancement, KernelFollowsTheSettingAndResolution) {
  const EnhanceParams p300 = MakeEnhanceParams(Enhanced(0, 0), 0x205);
  EXPECT_EQ(p300.kernel[12], 4 * 64 + 36 * 64);  // centre: smoothing 4, sharpening t = 36
  EXPECT_EQ(p300.kernel[0], 1 * 64 - 1 * 64);     // outer ring
  EXPECT_EQ(p300.kernel[6], 2 * 64);              // inner ring
  const EnhanceParams p600 = MakeEnhanceParams(Enhanced(2, 0), 0x300);
  EXPECT_EQ(p600.kernel[12], 4 * 24 + 22 * 104);
  const EnhanceParams none = MakeEnhanceParams(Enhanced(7, 0), 0x300);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(none.kernel[i], i == 12 ? 128 : 0);
  EXPECT_EQ(MakeEnhanceParams(Enhanced(0, -2), 0x300).chromaPercent, -40);
  EXPECT_EQ(MakeEnhanceParams(Enhanced(0, 2), 0x300).chromaCap, 9);
}

TEST(Enhancement, ToneTablesAreMonotonicAndKeepTheEnds) {
  const EnhanceParams p = MakeEnhanceParams(Enhanced(0, 0), 0x300);
  std::array<uint64_t, 256> empty{};
  for (const ToneTable& t : ToneTables(p, empty))
    for (int v = 0; v < 256; ++v) ASSERT_EQ(t[v], v);
  std::array<uint64_t, 256> h{};
  for (int v = 40; v < 220; ++v) h[v] = 1000 + 10 * v;  // a page without real black or white
  for (const ToneTable& t : ToneTables(p, h)) {
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[255], 255);
    for (int v = 1; v < 256; ++v) ASSERT_GE(t[v], t[v - 1]) << v;
  }
}

TEST(Enhancement, WhiteStaysWhiteAndChromaGrows) {
  const int w = 12, h = 12;
  std::vector<uint8_t> page(size_t(w) * h * 3, 255);
  for (int y = 3; y < 9; ++y)
    for (int x = 3; x < 9; ++x) {
      uint8_t* px = &page[(size_t(y) * w + x) * 3];
      px[0] = 170, px[1] = 110, px[2] = 100;  // muted red
    }
  std::vector<uint8_t> plain = page;
  RasterSettings noChroma = Enhanced(7, 0);
  noChroma.colorAdjust = 0;
  EnhanceBand(noChroma, 0x300, plain.data(), size_t(w) * 3, w, h, 0, w);
  RasterSettings more = Enhanced(7, 2);
  more.colorAdjust = 0;
  EnhanceBand(more, 0x300, page.data(), size_t(w) * 3, w, h, 0, w);
  EXPECT_EQ(page[0], 255);
  EXPECT_EQ(page[1], 255);
  const uint8_t* a = &plain[(6 * size_t(w) + 6) * 3];
  const uint8_t* b = &page[(6 * size_t(w) + 6) * 3];
  EXPECT_GT(b[0] - b[1], a[0] - a[1]);
}

}  // namespace
}  // namespace qvx::raster
