#include "compress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace qvx::raster {
namespace {

using Bytes = std::vector<uint8_t>;

// The coders as first written, a byte at a time: the faster ones must make
// every decision the same way, so their output is compared byte for byte.
namespace reference {

size_t PackBits(const uint8_t* src, size_t n, uint8_t* dst) {
  uint8_t* out = dst;
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 128 && src[i + run] == src[i]) ++run;
    if (run >= 3) {
      *out++ = static_cast<uint8_t>(257 - run);  // -(run - 1) as a signed byte
      *out++ = src[i];
      i += run;
      continue;
    }
    // Literal run up to the next three equal bytes.
    size_t j = i;
    while (j < n && j - i < 128) {
      if (j + 2 < n && src[j] == src[j + 1] && src[j] == src[j + 2]) break;
      ++j;
    }
    *out++ = static_cast<uint8_t>(j - i - 1);
    std::memcpy(out, src + i, j - i);
    out += j - i;
    i = j;
  }
  return static_cast<size_t>(out - dst);
}

CodedRow ZeroRuns(const uint8_t* src, size_t n, uint8_t* dst) {
  uint8_t* out = dst;
  unsigned zeros = 0, literals = 0, literalGroups = 0;
  uint8_t* header = out++;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t b = src[i];
    if (b == 0) {
      ++zeros;
    } else {
      *out++ = b;
      ++literals;
    }
    const bool end = zeros == 31 || literals == 7 || i + 1 == n || (b != 0 && src[i + 1] == 0);
    if (end) {
      *header = static_cast<uint8_t>(literals << 5 | zeros);
      literalGroups += literals != 0;
      zeros = literals = 0;
      header = out++;
    }
  }
  return {static_cast<size_t>(header - dst), literalGroups <= 2};
}

uint32_t Word(const uint8_t* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

// Bytes between word runs: literal runs, with equal byte pairs as 1-byte repeats.
uint8_t* WordRunLiterals(const uint8_t* src, size_t n, uint8_t* out) {
  size_t i = 0;
  while (i < n) {
    size_t run = 1;
    while (i + run < n && run < 32 && src[i + run] == src[i]) ++run;
    if (run >= 2) {
      *out++ = static_cast<uint8_t>(0x80 | (run - 1) << 2);
      *out++ = src[i];
      i += run;
      continue;
    }
    size_t j = i + 1;
    while (j < n && j - i < 128 && !(j + 1 < n && src[j] == src[j + 1])) ++j;
    *out++ = static_cast<uint8_t>(j - i - 1);
    std::memcpy(out, src + i, j - i);
    out += j - i;
    i = j;
  }
  return out;
}

size_t WordRuns(const uint8_t* src, size_t n, uint8_t* dst) {
  uint8_t* out = dst;
  size_t literalStart = 0, i = 0;
  while (i + 8 <= n) {
    const uint32_t w = Word(src + i);
    if (Word(src + i + 4) != w) {
      i += 4;
      continue;
    }
    size_t end = i + 8;
    while (end + 4 <= n && Word(src + end) == w) end += 4;
    out = WordRunLiterals(src + literalStart, i - literalStart, out);
    out = CodeWordRun(src + i, end - i, out);  // the run tokens were not rewritten
    i = literalStart = end;
  }
  out = WordRunLiterals(src + literalStart, n - literalStart, out);
  return static_cast<size_t>(out - dst);
}

Bytes Code(RowCoding coding, const Bytes& row) {
  Bytes out(MaxCodedSize(row.size()) + 64);
  size_t size = 0;
  switch (coding) {
    case RowCoding::Raw: size = row.size(), out.assign(row.begin(), row.end()); break;
    case RowCoding::PackBits: size = PackBits(row.data(), row.size(), out.data()); break;
    case RowCoding::ZeroRuns: size = ZeroRuns(row.data(), row.size(), out.data()).size; break;
    case RowCoding::WordRuns: size = WordRuns(row.data(), row.size(), out.data()); break;
  }
  out.resize(size);
  return out;
}

bool Sparse(const Bytes& row) {
  Bytes out(MaxCodedSize(row.size()));
  return ZeroRuns(row.data(), row.size(), out.data()).sparse;
}

}  // namespace reference


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

// Rows of the kinds the pipeline makes, and runs of every length around the
// coders' limits: 3 and 128 for PackBits, 31 zeros and 7 literals for zero-run
// groups, pairs, 32 units and the 63/126-byte unit choice for word runs.
Bytes MakeRow(int kind, size_t n, std::mt19937& rng) {
  static const uint8_t kMask7[2][5] = {{0x84, 0x21, 0x08, 0x42, 0x10}, {0xC0, 0x30, 0x0C, 0x03, 0x00}};
  static const size_t kRunLengths[] = {1,  2,  3,  4,   5,   6,   7,   8,   9,   16,  30,  31,  32,  33,
                                       34, 62, 63, 64,  65,  66,  124, 126, 127, 128, 129, 130, 131, 132,
                                       133, 136, 252, 256, 257, 260};
  Bytes row(n);
  switch (kind) {
    case 0:  // noise
      for (auto& b : row) b = uint8_t(rng());
      break;
    case 1:  // sparse dots
      for (auto& b : row) b = rng() % 8 == 0 ? uint8_t(rng() | 1) : 0;
      break;
    case 2:  // runs of bytes, pairs and words of the lengths above
      for (size_t i = 0; i < n;) {
        const size_t len = std::min(n - i, kRunLengths[rng() % std::size(kRunLengths)]);
        const uint8_t unit[4] = {uint8_t(rng() % 3 ? 0 : rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
        const unsigned style = rng() % 4;  // one byte, a pair, a word, noise
        for (size_t k = 0; k < len; ++k)
          row[i + k] = style == 0 ? unit[0] : style == 1 ? unit[k % 2] : style == 2 ? unit[k % 4] : uint8_t(rng());
        i += len;
      }
      break;
    case 3:    // five-phase masks over dense dots, multibit and not
    case 4: {
      const uint8_t* pattern = kMask7[kind - 3];
      const unsigned phase = rng() % 5;
      for (size_t i = 0; i < n; ++i) row[i] = uint8_t(rng() % 6 ? rng() : 0) & pattern[(phase + i) % 5];
      break;
    }
    case 5: {  // two-phase masks
      static const uint8_t kMask6[] = {0xAA, 0x55, 0xCC, 0x33};
      const uint8_t m = kMask6[rng() % 4];
      for (auto& b : row) b = uint8_t(rng() % 4 ? rng() : 0) & m;
      break;
    }
    default:  // text-like: long stretches of blank and of solid ink
      for (size_t i = 0; i < n;) {
        const size_t len = std::min(n - i, size_t(1 + rng() % (rng() % 2 ? 300 : 12)));
        const uint8_t v = rng() % 2 ? 0 : rng() % 2 ? 0xFF : uint8_t(rng());
        std::fill_n(row.begin() + i, len, v);
        i += len;
      }
      break;
  }
  return row;
}

TEST(RowCompression, SameBytesAsTheByteAtATimeCoders) {
  std::mt19937 rng(77);
  std::vector<size_t> lengths;
  for (size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (int k = 0; k < 30; ++k) lengths.push_back(301 + rng() % 2800);
  // The plane stride, and rows long enough for the coders' large-row path.
  for (size_t n : {3087, 3088, 3089, 4095, 4096, 4097, 6001}) lengths.push_back(n);
  for (int kind = 0; kind <= 6; ++kind)
    for (size_t n : lengths) {
      const Bytes row = MakeRow(kind, n, rng);
      for (RowCoding coding : {RowCoding::PackBits, RowCoding::ZeroRuns, RowCoding::WordRuns}) {
        bool sparse = false;
        const Bytes coded = Code(coding, row, &sparse);
        const Bytes expected = reference::Code(coding, row);
        ASSERT_EQ(coded, expected) << "coding " << int(coding) << " kind " << kind << " length " << n;
        if (coding == RowCoding::ZeroRuns) {
          ASSERT_EQ(sparse, reference::Sparse(row)) << "kind " << kind << " length " << n;
        }
      }
    }
}

// Uniform rows of every length: every run split and unit choice at once.
TEST(RowCompression, UniformRowsMatchTheByteAtATimeCoders) {
  for (uint8_t v : {0x00, 0x01, 0xFF})
    for (size_t n = 1; n <= 600; ++n) {
      const Bytes row(n, v);
      for (RowCoding coding : {RowCoding::PackBits, RowCoding::ZeroRuns, RowCoding::WordRuns})
        ASSERT_EQ(Code(coding, row), reference::Code(coding, row)) << "coding " << int(coding) << " value " << int(v)
                                                                    << " length " << n;
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
