#include "colour.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

#include "test_paths.h"

namespace qvx::raster {
namespace {

RasterSettings Colour(uint16_t code = 0x300) {
  RasterSettings s;
  s.code = code;
  return s;
}

ColourConverter Converter(const RasterSettings& s, int family) {
  ColourConverter cv;
  cv.Init(BuiltinTables(PassClass(s.code), family, 2), s, s.code, family);
  return cv;
}

TEST(ColourConversion, GridCornersAndNearWhite) {
  const ColourConverter cv = Converter(Colour(), 2);
  unsigned dark = 0;
  const Inks black = cv.ConvertPixel(0, 0, 0, &dark);
  EXPECT_EQ(dark, 1020u);
  EXPECT_EQ((std::array{black.c, black.m, black.y, black.k}), (std::array<uint16_t, 4>{0, 0, 0, 1023}));
  for (uint8_t v : {uint8_t(0xFF), uint8_t(0xFE)}) {
    const Inks white = cv.ConvertPixel(v, v, v, &dark);
    EXPECT_EQ(white.c + white.m + white.y + white.k, 0) << int(v);
    EXPECT_EQ(dark, 0u);
    const Inks ink = cv.InkValues(v, v, v);
    EXPECT_EQ(ink.c + ink.m + ink.y + ink.k, 0) << int(v);
  }
}

TEST(ColourConversion, GreysInOrderedDitherFamilyUseEqualColourAndEnoughBlack) {
  const ColourConverter cv = Converter(Colour(0x205), 1);
  for (int v : {0x20, 0x80, 0xC0}) {
    const Inks i = cv.ConvertPixel(uint8_t(v), uint8_t(v), uint8_t(v), nullptr);
    EXPECT_EQ(i.m, i.c);
    EXPECT_EQ(i.y, i.c);
    EXPECT_GE(i.k, i.c);
  }
}

// Interpolation between grid nodes stays between the node values and is
// monotonic along a grey ramp; primaries land on their own ink.
TEST(ColourConversion, InterpolationIsMonotonicAndPrimariesMapToTheirInks) {
  const ColourConverter cv = Converter(Colour(), 2);
  int lastBlack = -1;
  for (int v = 255; v >= 0; --v) {
    const Inks i = cv.ConvertPixel(uint8_t(v), uint8_t(v), uint8_t(v), nullptr);
    EXPECT_GE(i.k, lastBlack) << v;
    lastBlack = i.k;
  }
  const Inks cyan = cv.InkValues(0, 255, 255);
  EXPECT_GT(cyan.c, 500);
  EXPECT_LT(cyan.m + cyan.y + cyan.k, 60);
  const Inks yellow = cv.InkValues(255, 255, 0);
  EXPECT_GT(yellow.y, 500);
  EXPECT_LT(yellow.c + yellow.m + yellow.k, 60);
}

TEST(ColourConversion, InkLimitHoldsForEveryColour) {
  for (uint16_t code : {0x107, 0x205, 0x300, 0x500, 0x2700}) {
    const ColourConverter cv = Converter(Colour(code), 2);
    std::mt19937 rng(code);
    for (int n = 0; n < 20000; ++n) {
      const uint32_t v = rng();
      const Inks i = cv.InkValues(uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16));
      ASSERT_LE(i.c + i.m + i.y + i.k, cv.InkLimit()) << std::hex << code << " " << v;
    }
  }
}

// A table whose curves make the ink sum exceed the limit shows the scaling rule:
// black stays, colour is scaled by (N - K) x 256 / (S - K), shifted down by 8.
TEST(ColourConversion, InkLimitScalesColourAndKeepsBlack) {
  ColourTables t = BuiltinTables(5, 2, 2);
  for (size_t i = 0; i < kGridValues; i += 4) {  // every node: C M Y 333, K 200
    t.grid[i] = t.grid[i + 1] = t.grid[i + 2] = 333;
    t.grid[i + 3] = 200;
  }
  for (int c = 0; c < 4; ++c)  // identity output curves, no correction
    for (int i = 0; i < 256; ++i) {
      t.curves[256 * c + i] = static_cast<uint16_t>(i * 257);
      t.curves[256 * (4 + c) + i] = 0;
    }
  t.inkLimit = 928;
  ColourConverter cv;
  cv.Init(t, Colour(0x500), 0x500, 2);
  const Inks i = cv.InkValues(10, 20, 30);
  const uint32_t s = 3 * 333 + 200, u = (928 - 200) * 256 / (s - 200);
  EXPECT_EQ(i.k, 200);
  EXPECT_EQ(i.c, (u * 333) >> 8);
  EXPECT_EQ(i.m, i.c);
}

// The row converter takes its own route through the grid (tetrahedron found
// without the weight table, four channels at once); it must give exactly what
// the pixel converter gives, for every table set and for a damaged table whose
// grid holds values far beyond the curves' range.
TEST(ColourConversion, RowConversionMatchesPixelConversion) {
  std::vector<uint8_t> px;
  for (int v : {0, 1, 15, 16, 17, 127, 128, 239, 240, 253, 254, 255})  // cell edges, 254 read as 255
    for (int g : {0, 16, 254, 255})
      for (int b : {0, 100, 254, 255}) px.insert(px.end(), {uint8_t(v), uint8_t(g), uint8_t(b)});
  for (int v = 0; v < 256; ++v) px.insert(px.end(), {uint8_t(v), uint8_t(v), uint8_t(v)});
  std::mt19937 rng(5);
  for (int n = 0; n < 30000; ++n) {
    const uint32_t v = rng();
    px.insert(px.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});
    if (n % 7 == 0) px.insert(px.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)});  // runs
  }
  const int count = int(px.size() / 3);
  auto check = [&](const ColourConverter& cv, const char* what) {
    std::vector<Inks> row(size_t(count) + 1, Inks{0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE});
    for (int pass = 0; pass < 2; ++pass)  // the second time round from the cache of recent colours
    for (int i = 0; i < count; ++i) {
      if (i == 0) cv.InkRow(px.data(), count, row.data());
      const Inks want = cv.InkValues(px[3 * i], px[3 * i + 1], px[3 * i + 2]);
      ASSERT_EQ((std::array{row[i].c, row[i].m, row[i].y, row[i].k}), (std::array{want.c, want.m, want.y, want.k}))
          << what << " pixel " << int(px[3 * i]) << "," << int(px[3 * i + 1]) << "," << int(px[3 * i + 2]);
    }
    EXPECT_EQ(row[size_t(count)].c, 0xEEEE) << what;  // nothing written past the row
    for (int i = 0; i < count; i += 97) cv.DitherValues(px[3 * i], px[3 * i + 1], px[3 * i + 2]);
  };
  for (unsigned passClass : {1u, 2u, 3u, 5u})
    for (int family : {1, 2})
      for (int variant : {1, 2}) {
        const uint16_t code = passClass == 1 ? 0x107 : passClass == 2 ? 0x205 : passClass == 3 ? 0x300 : 0x500;
        ColourConverter cv;
        cv.Init(BuiltinTables(passClass, family, variant), Colour(code), code, family);
        check(cv, "built-in");
      }
  ColourTables damaged = BuiltinTables(3, 2, 1);
  for (uint16_t& v : damaged.grid) v = uint16_t(rng());
  for (uint16_t& v : damaged.curves) v = uint16_t(rng());
  damaged.inkLimit = 700;
  ColourConverter cv;
  cv.Init(damaged, Colour(0x300), 0x300, 2);
  check(cv, "damaged");
}

TEST(ColourConversion, SmallDivisionIsExact) {
  std::mt19937 rng(9);
  for (uint32_t d = 1; d <= 3069; ++d) {
    std::vector<uint32_t> as = {0, 1, d - 1, d, d + 1, (1u << 24) - 1, ((1u << 24) - 1) / d * d, 65535u * 256};
    for (uint32_t k = 1; k < 60; ++k) as.insert(as.end(), {k * d - 1, k * d, (1u << 24) / k / d * d - 1});
    for (int n = 0; n < 40; ++n) as.push_back(rng() & 0xFFFFFF);
    for (uint32_t a : as) {
      a &= 0xFFFFFF;
      ASSERT_EQ(DivideSmall(a, d), a / d) << a << " / " << d;
    }
  }
}

TEST(ColourConversion, BlackOnlyJobsUseTheBlackCurve) {
  RasterSettings s = Colour(0x1300);
  s.dmColor = 1;
  ColourConverter cv;
  cv.Init(BuiltinTables(3, 2, 1), s, s.code, 2);
  EXPECT_TRUE(cv.BlackOnly());
  const Inks white = cv.InkValues(255, 255, 255);
  const Inks black = cv.InkValues(0, 0, 0);
  const Inks red = cv.InkValues(255, 0, 0);  // gray 76: K from 179
  EXPECT_EQ(white.k, 0);
  EXPECT_EQ(black.k, 1023);
  EXPECT_GT(red.k, 0);
  EXPECT_EQ(red.c + red.m + red.y, 0);
}

TEST(ColourTables, SignaturesFollowMediaPassClassFamilyAndVariant) {
  struct Case {
    uint16_t code, media;
    uint32_t mediaVariant;
    int family, variant;
    bool matching;
    uint32_t grid, curve;
  };
  const Case cases[] = {
      {0x300, 0, 0, 2, 2, true, 0x8012, 0xC012},
      {0x300, 0, 0, 1, 1, true, 0x8052, 0xC022},
      {0x300, 0, 1, 2, 2, true, 0x8712, 0xC712},  // plain media with the variant counts as 8
      {0x107, 0, 0, 1, 2, false, 0x8030, 0xC000},
      {0x600, 1, 0, 2, 1, true, 0x8124, 0xC124},
      {0x300, 3, 0, 2, 2, true, 0x8212, 0xC212},
      {0x700, 11, 0, 2, 2, false, 0x8506, 0xC506},
      {0x510, 4, 0, 2, 2, true, 0x8613, 0xC613},
      {0x310, 5, 0, 1, 1, true, 0x8652, 0xC622},
      {0x300, 4, 0, 2, 2, false, 0x8602, 0xC602},
  };
  for (const Case& c : cases) {
    const TagPair t = TagSignatures(c.code, c.media, c.mediaVariant, c.family, c.variant, c.matching);
    EXPECT_EQ(t.grid, c.grid) << std::hex << c.code << " media " << c.media;
    EXPECT_EQ(t.curve, c.curve) << std::hex << c.code << " media " << c.media;
  }
}

// A minimal table file with one grid and one curve tag.
std::vector<uint8_t> TableFile(TagPair tags, uint16_t gridValue, uint16_t limit) {
  const size_t gridSize = 32 + kGridValues * 2, curveSize = 32 + kCurveValues * 2;
  std::vector<uint8_t> f(132 + 24 + gridSize + curveSize, 0);
  f[8] = 2;
  auto be = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (24 - 8 * i));
  };
  be(128, 2);
  be(132, tags.grid), be(136, 156), be(140, uint32_t(gridSize));
  be(144, tags.curve), be(148, uint32_t(156 + gridSize)), be(152, uint32_t(curveSize));
  for (size_t i = 0; i < kGridValues; ++i) f[156 + 32 + 2 * i] = uint8_t(gridValue), f[156 + 33 + 2 * i] = uint8_t(gridValue >> 8);
  f[156 + gridSize + 12] = uint8_t(limit), f[156 + gridSize + 13] = uint8_t(limit >> 8);
  return f;
}

TEST(ColourTables, FileIsReadAndEveryMalformedVariantRejected) {
  const TagPair tags{0x8012, 0xC012};
  const std::vector<uint8_t> good = TableFile(tags, 0x0123, 777);
  auto parsed = ParseTableFile(good.data(), good.size(), tags);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->grid[5], 0x0123);
  EXPECT_EQ(parsed->inkLimit, 777);

  struct Mutation {
    const char* what;
    size_t at;
    uint8_t value;
  };
  const Mutation bad[] = {
      {"version 04 20", 8, 0x04},     {"tag count beyond the file", 128, 0x10},
      {"grid tag missing", 135, 0x13}, {"curve tag missing", 147, 0x13},
      {"grid size wrong", 143, 0x00},  {"curve offset beyond the file", 148, 0x7F},
  };
  for (const Mutation& m : bad) {
    std::vector<uint8_t> f = good;
    f[m.at] = m.value;
    if (m.at == 8) f[9] = 0x20;
    EXPECT_FALSE(ParseTableFile(f.data(), f.size(), tags)) << m.what;
  }
  for (size_t cut : {size_t(0), size_t(100), size_t(140), good.size() - 1})  // truncated copies
    EXPECT_FALSE(ParseTableFile(std::vector<uint8_t>(good.begin(), good.begin() + cut).data(), cut, tags)) << cut;
}

TEST(ColourTables, MissingOrBrokenFileFallsBackToBuiltIn) {
  RasterSettings s = Colour();
  const ColourTables t = SelectTables(s, 0x300, 2, test::BinaryPath("no-such-folder"));
  EXPECT_EQ(t.inkLimit, 1216);
  EXPECT_EQ(t.grid, BuiltinTables(3, 2, 1).grid);  // docType 2 asks for the natural variant
}

// The generator writes the files the loader reads: every combination of
// settings finds its tags in the file chosen for its media.
TEST(ColourTables, GeneratedFilesHoldEveryTagTheSettingsAskFor) {
  const auto dir = test::BinaryPath("qcm");
  if (!std::filesystem::exists(dir / "qvct.qcm")) GTEST_SKIP() << "colour table files not generated";
  for (uint16_t media : {0, 1, 3, 4, 8, 9, 10, 11})
    for (uint16_t code : {0x107, 0x205, 0x300, 0x500, 0x600, 0x700})
      for (int family : {1, 2})
        for (int variant : {1, 2})
          for (bool matching : {true, false}) {
            const TagPair tags = TagSignatures(code, media, 0, family, variant, matching);
            EXPECT_TRUE(LoadTableFile(dir / TableFileName(media, 0), tags))
                << "media " << media << " code " << std::hex << code << " family " << family;
          }
}

}  // namespace
}  // namespace qvx::raster
