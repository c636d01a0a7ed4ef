#include "compress.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace qvx::raster {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Code(RowCoding coding, const Bytes& row, bool* sparse = nullptr) {
  Bytes out(MaxCodedSize(row.size()));
  const CodedRow r = CompressRow(coding, row.data(), row.size(), out.data());
  out.resize(r.size);
  if (sparse) *sparse = r.sparse;
  return out;
}

TEST(RowCompression, KnownCodings) {
  struct Case {
    RowCoding coding;
    Bytes row, coded;
    bool sparse;
  };
  const Case cases[] = {
      {RowCoding::PackBits, {0, 0, 0, 0}, {0xFD, 0x00}, false},
      {RowCoding::PackBits, {7, 7}, {0x01, 7, 7}, false},  // short rows stay literal
      {RowCoding::ZeroRuns, Bytes(100, 0), {0x1F, 0x1F, 0x1F, 0x07}, true},
      {RowCoding::ZeroRuns, {0, 0, 5, 0}, {0x22, 0x05, 0x01}, true},
      {RowCoding::ZeroRuns, {}, {}, true},
      {RowCoding::ZeroRuns, {1, 0, 2, 0, 3, 0}, {0x20, 1, 0x21, 2, 0x21, 3, 0x01}, false},
      {RowCoding::WordRuns, Bytes(8, 0x11), {0x9C, 0x11}, false},
      {RowCoding::WordRuns, {1, 2, 1, 2, 1, 2, 1, 2}, {0x8D, 1, 2}, false},
      {RowCoding::WordRuns, {0x41, 0x42, 0x43}, {0x02, 0x41, 0x42, 0x43}, false},
  };
  for (const Case& c : cases) {
    bool sparse = false;
    EXPECT_EQ(Code(c.coding, c.row, &sparse), c.coded) << int(c.coding) << " size " << c.row.size();
    EXPECT_EQ(sparse, c.sparse);
  }
}

TEST(RowCompression, WordRunDecoding) {
  const Bytes word = {0x8F, 0x12, 0x34, 0x56, 0x78};
  auto out = ExpandRow(RowCoding::WordRuns, word.data(), word.size(), 64);
  ASSERT_TRUE(out);
  EXPECT_EQ(*out, (Bytes{0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56, 0x78, 0x12, 0x34, 0x56, 0x78,
                         0x12, 0x34, 0x56, 0x78}));
  const Bytes bytes = {0x9C, 0x11};
  EXPECT_EQ(*ExpandRow(RowCoding::WordRuns, bytes.data(), 2, 64), Bytes(8, 0x11));
}

// Long uniform runs choose the unit size by length so that few headers are needed.
TEST(RowCompression, LongByteRunsUseWiderUnits) {
  EXPECT_EQ(Code(RowCoding::WordRuns, Bytes(128, 0)), (Bytes{0xFF, 0, 0, 0, 0}));
  EXPECT_EQ(Code(RowCoding::WordRuns, Bytes(64, 0xAB)), (Bytes{0xFD, 0xAB, 0xAB}));
  EXPECT_EQ(Code(RowCoding::WordRuns, Bytes(32, 0xAB)), (Bytes{0xFC, 0xAB}));
}

TEST(RowCompression, RandomRowsRoundTripInEveryCoding) {
  std::mt19937 rng(1234);
  for (RowCoding coding : {RowCoding::Raw, RowCoding::PackBits, RowCoding::ZeroRuns, RowCoding::WordRuns}) {
    for (int trial = 0; trial < 400; ++trial) {
      const size_t n = rng() % 3089;
      // Mix sparse, run-heavy and noisy rows: halftoned planes look like all three.
      const unsigned style = trial % 4;
      Bytes row(n);
      uint8_t last = 0;
      for (auto& b : row) {
        switch (style) {
          case 0: b = rng() % 8 == 0 ? uint8_t(rng()) : 0; break;
          case 1: b = rng() % 16 == 0 ? (last = uint8_t(rng() % 3 * 0x55)) : last; break;
          case 2: b = uint8_t(rng()); break;
          default: b = uint8_t(rng() % 2 ? 0xAA : rng() % 4); break;
        }
      }
      const Bytes coded = Code(coding, row);
      ASSERT_LE(coded.size(), MaxCodedSize(n));
      auto back = ExpandRow(coding, coded.data(), coded.size(), n);
      ASSERT_TRUE(back) << int(coding) << " trial " << trial;
      ASSERT_EQ(*back, row) << int(coding) << " trial " << trial;
    }
  }
}

TEST(RowCompression, MalformedDataIsRejected) {
  const Bytes truncatedLiteral = {0x05, 1, 2};
  const Bytes badUnit = {0x82, 1, 2};
  const Bytes missingRepeat = {0xFD};
  EXPECT_FALSE(ExpandRow(RowCoding::PackBits, truncatedLiteral.data(), 3, 100));
  EXPECT_FALSE(ExpandRow(RowCoding::PackBits, missingRepeat.data(), 1, 100));
  EXPECT_FALSE(ExpandRow(RowCoding::WordRuns, badUnit.data(), 3, 100));
  const Bytes shortGroup = {0x45, 1};
  EXPECT_FALSE(ExpandRow(RowCoding::ZeroRuns, shortGroup.data(), 2, 100));
  const Bytes zeros = {0x1F, 0x1F};
  EXPECT_FALSE(ExpandRow(RowCoding::ZeroRuns, zeros.data(), 2, 40));  // longer than allowed
}

}  // namespace
}  // namespace qvx::raster
