#include "halftone.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "halftone_tables.h"
#include "raster_job.h"

namespace qvx::raster {
namespace {

struct Rig {
  RasterSettings s;
  ColourConverter cv;
  Halftoner ht;
  MethodRecord method;
  Rig(uint16_t code, int family, uint16_t mediaType = 0, int paper = 9, int width = 64) {
    s.code = code;
    s.mediaType = mediaType;
    s.dmPaperSize = static_cast<int16_t>(paper);
    s.dmColor = MonoOnly(code) ? 1 : 2;
    cv.Init(BuiltinTables(PassClass(code), family, 1), s, code, family);
    method = SelectMethod(family, code, mediaType, paper);
    ht.Select(method, width * method.replication);
  }
};

std::vector<uint8_t> Uniform(int width, int rows, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> px(size_t(width) * rows * 3);
  for (size_t i = 0; i < px.size(); i += 3) px[i] = r, px[i + 1] = g, px[i + 2] = b;
  return px;
}

int Level(const uint8_t* row, int bits, int x) {
  return bits == 1 ? (row[x >> 3] >> (7 - (x & 7))) & 1 : (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
}

TEST(Halftone, MethodRecordsByKey) {
  struct Case {
    int family;
    uint16_t code, media;
    int paper;
    uint8_t bits, replication;
    bool wide, ordered;
    int16_t k2;
  };
  const Case cases[] = {
      {2, 0x107, 0, 9, 1, 4, false, false, 0},    {2, 0x2205, 0, 9, 2, 2, false, false, 0},
      {2, 0x2107, 0, 27, 2, 4, false, false, 9999},  // envelope key 0x2117
      {2, 0x2500, 0, 9, 2, 2, true, false, 0},    {2, 0x2500, 2, 9, 2, 2, true, false, 0},  // 0x2520
      {2, 0x2500, 0, 27, 2, 2, true, false, 9999}, {1, 0x205, 0, 9, 1, 2, false, true, 0},
      // Keys without a row keep the mode's dots per pixel and lines per row.
      {2, 0x500, 0, 9, 1, 2, true, false, 0},     {2, 0x2600, 0, 27, 2, 2, true, false, 0},
      {2, 0x2300, 9, 9, 2, 1, false, false, 0},
  };
  for (const Case& c : cases) {
    const MethodRecord m = SelectMethod(c.family, c.code, c.media, c.paper);
    EXPECT_EQ(m.bits, c.bits) << std::hex << c.code;
    EXPECT_EQ(m.replication, c.replication) << std::hex << c.code;
    EXPECT_EQ(m.wide, c.wide) << std::hex << c.code;
    EXPECT_EQ(m.ordered, c.ordered) << std::hex << c.code;
    EXPECT_EQ(m.k[2], c.k2) << std::hex << c.code;
  }
  EXPECT_EQ(SelectMethod(2, 0x2500, 2, 9).k[0], 32);  // media 2 at pass class 5 adds 32
}

TEST(Halftone, WhiteMakesNoDotsAndReportsNoInk) {
  for (uint16_t code : {0x107, 0x2300, 0x2700, 0x1300}) {
    for (int family : {1, 2}) {
      if (family == 1 && PassClass(code) >= 5) continue;
      Rig t(code, family);
      const auto rows = Uniform(64, 16, 255, 255, 255);
      const size_t stride = 64;
      std::vector<uint8_t> out(16 * 2 * 4 * stride, 0xEE);
      EXPECT_FALSE(t.ht.Rows(t.cv, rows.data(), 64 * 3, 16, 0, 0, 64, out.data(), stride));
      for (int l = 0; l < 16 * t.ht.LinesPerRow(); ++l)
        for (size_t i = 0; i < 4 * stride; ++i) ASSERT_EQ(out[l * 4 * stride + i], 0) << std::hex << code;
    }
  }
}

// Error diffusion keeps the ink: dot energy over a flat patch matches the ink
// value, and the envelope parameters never produce the smallest drop.
TEST(Halftone, DiffusionConservesInkAndEnvelopeModeSkipsLevelOne) {
  struct Case {
    uint16_t code;
    int paper;
  };
  for (const Case c : {Case{0x2300, 9}, Case{0x2107, 27}, Case{0x300, 9}, Case{0x2500, 9}}) {
    Rig t(c.code, 2, 0, c.paper, 96);
    const int width = 96, rows = 64;
    const auto px = Uniform(width, rows, 150, 170, 200);
    const Inks want = t.cv.InkValues(150, 170, 200);
    const size_t stride = size_t(width) * t.method.replication / 2 + 8;
    std::vector<uint8_t> out(size_t(rows) * t.ht.LinesPerRow() * 4 * stride);
    ASSERT_TRUE(t.ht.Rows(t.cv, px.data(), width * 3, rows, 0, 0, width, out.data(), stride));
    const int lines = rows * t.ht.LinesPerRow(), dots = width * t.method.replication;
    const int16_t* k = t.method.k;
    const int energy[4] = {0, t.method.bits == 1 ? k[5] : k[5], k[4], k[3]};
    double sum[4] = {};
    int levelOne = 0;
    for (int l = 0; l < lines; ++l)
      for (int ch = 0; ch < 4; ++ch)
        for (int x = 0; x < dots; ++x) {
          const int v = Level(out.data() + (size_t(l) * 4 + ch) * stride, t.method.bits, x);
          sum[ch] += t.method.bits == 1 ? v * k[5] : energy[v];
          levelOne += t.method.bits == 2 && v == 1;
        }
    const uint16_t inks[4] = {want.c, want.m, want.y, want.k};
    for (int ch = 0; ch < 4; ++ch)
      EXPECT_NEAR(sum[ch] / (double(lines) * dots), inks[ch], 0.05 * 1023) << std::hex << c.code << " ch " << ch;
    if (c.paper == 27 && t.method.bits == 2) {
      EXPECT_EQ(levelOne, 0);
    }
  }
}

// The vector diffusion kernel against the plain one: same dots, same "any ink"
// answers and the same state carried from line to line (errors, noise walk),
// over rows of every kind, ink extents that move, and several noise periods.
TEST(Halftone, VectorKernelMatchesReferenceKernel) {
  struct Case {
    uint16_t code, media;
    int paper;
  };
  const Case cases[] = {{0x2300, 0, 9}, {0x300, 0, 9}, {0x2107, 0, 27}, {0x2310, 0, 9}, {0x107, 0, 9},
                        {0x2500, 0, 9}, {0x2500, 2, 9}, {0x2700, 0, 27}, {0x500, 0, 9}};
  const int width = 300;
  const test::Image photo = test::PhotoLike(width, 64), noise = test::Noise(width, 64, 3);
  const test::Image text = test::TextLike(width, 64);  // ink runs among white
  for (const Case& c : cases) {
    Rig vec(c.code, 2, c.media, c.paper, width), ref(c.code, 2, c.media, c.paper, width);
    ref.ht.UseReferenceKernel(true);
    const size_t stride = size_t(width) * vec.method.replication * vec.method.bits / 8 + 8;
    const size_t lines = size_t(4) * vec.ht.LinesPerRow();
    std::vector<uint8_t> a(lines * 4 * stride), b(a.size());
    std::mt19937 rng(c.code);
    for (int call = 0; call < 120; ++call) {
      // Photo, noise, text, solid dark and white rows, each call a different extent.
      const test::Image& src = call % 3 == 0 ? noise : call % 3 == 1 ? text : photo;
      std::vector<uint8_t> rows(src.Row(call % 60), src.Row(call % 60 + 4));
      if (call % 5 == 4) std::fill(rows.begin(), rows.end(), uint8_t(call % 10 == 4 ? 0 : 255));
      const int left = int(rng() % (width / 2)), w = int(rng() % (width - left + 1));
      const bool inkA = vec.ht.Rows(vec.cv, rows.data(), width * 3, 4, call * 4, left, w, a.data(), stride);
      const bool inkB = ref.ht.Rows(ref.cv, rows.data(), width * 3, 4, call * 4, left, w, b.data(), stride);
      ASSERT_EQ(inkA, inkB) << std::hex << c.code << std::dec << " call " << call;
      ASSERT_EQ(a, b) << std::hex << c.code << std::dec << " call " << call;
    }
  }
}

TEST(Halftone, ReplicationWidensLinesAndOnlyTheInkAreaIsWritten) {
  Rig t(0x107, 2, 0, 9, 40);
  const auto px = Uniform(40, 1, 0, 0, 0);
  const size_t stride = 40 * 4 / 8;
  std::vector<uint8_t> out(4 * stride);
  ASSERT_TRUE(t.ht.Rows(t.cv, px.data(), 40 * 3, 1, 0, 10, 20, out.data(), stride));
  const uint8_t* black = out.data() + 3 * stride;
  for (int x = 0; x < 160; ++x)  // solid black: exactly the 80 dots of pixels 10..29
    EXPECT_EQ(Level(black, 1, x), x >= 40 && x < 120 ? 1 : 0) << x;
}

TEST(Halftone, OrderedDitherGivesBlackPriority) {
  Rig t(0x205, 1, 0, 9, 128);
  const int width = 128, rows = 32;
  std::vector<uint8_t> px(size_t(width) * rows * 3);
  for (int i = 0; i < width * rows; ++i) {  // dark, saturated and grey shades
    const uint32_t h = test::Hash(i, 7);
    px[3 * i] = uint8_t(h % 120), px[3 * i + 1] = uint8_t((h >> 8) % 200), px[3 * i + 2] = uint8_t((h >> 16) % 90);
  }
  const size_t stride = width * 2 / 8;
  std::vector<uint8_t> out(size_t(rows) * 4 * stride);
  ASSERT_TRUE(t.ht.Rows(t.cv, px.data(), width * 3, rows, 5, 0, width, out.data(), stride));
  int blackDots = 0;
  for (int l = 0; l < rows; ++l) {
    const uint8_t* line = out.data() + size_t(l) * 4 * stride;
    for (size_t i = 0; i < stride; ++i) {
      blackDots += __builtin_popcount(line[3 * stride + i]);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(line[c * stride + i] & line[3 * stride + i], 0);
    }
  }
  EXPECT_GT(blackDots, 0);
}

TEST(Halftone, TablesHaveTheirShapes) {
  EXPECT_EQ(builtin::kLowerBound[0], -320);
  EXPECT_EQ(builtin::kLowerBound[100], -476);
  EXPECT_EQ(builtin::kLowerBound[512], -720);
  EXPECT_EQ(builtin::kLowerBound[1000], -1010);
  EXPECT_EQ(builtin::kLowerBound[1023], -1023);
  int high = 0;
  for (int16_t v : builtin::kNoise) {
    EXPECT_GE(v, -255);
    EXPECT_LE(v, 255);
    high += v >= 192;
  }
  EXPECT_EQ(high, 128);
  int counts[256] = {};
  for (uint8_t v : builtin::kThresholds) ++counts[v];
  EXPECT_EQ(counts[0], 0);
  EXPECT_EQ(counts[254] + counts[255], 0);
  EXPECT_GT(counts[1], 0);
  EXPECT_GT(counts[253], 0);
}

}  // namespace
}  // namespace qvx::raster
