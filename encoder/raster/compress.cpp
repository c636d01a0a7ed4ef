#include "compress.h"

#include <algorithm>
#include <cstring>

namespace qvx::raster {
namespace {

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

uint8_t* WordRun(const uint8_t* unit, size_t bytes, uint8_t* out) {
  size_t u;
  uint8_t code;
  if (unit[0] == unit[1] && unit[0] == unit[2] && unit[0] == unit[3]) {
    u = bytes > 126 ? 4 : bytes >= 63 ? 2 : 1;
  } else if (unit[0] == unit[2] && unit[1] == unit[3]) {
    u = 2;
  } else {
    u = 4;
  }
  code = u == 1 ? 0 : u == 2 ? 1 : 3;
  while (bytes > 0) {
    const size_t count = std::min<size_t>(32, bytes / u);
    *out++ = static_cast<uint8_t>(0x80 | (count - 1) << 2 | code);
    std::memcpy(out, unit, u);
    out += u;
    bytes -= count * u;
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
    out = WordRun(src + i, end - i, out);
    i = literalStart = end;
  }
  out = WordRunLiterals(src + literalStart, n - literalStart, out);
  return static_cast<size_t>(out - dst);
}

}  // namespace

CodedRow CompressRow(RowCoding coding, const uint8_t* src, size_t n, uint8_t* dst) {
  switch (coding) {
    case RowCoding::Raw:
      if (n) std::memcpy(dst, src, n);
      return {n, false};
    case RowCoding::PackBits:
      return {PackBits(src, n, dst), false};
    case RowCoding::ZeroRuns:
      return ZeroRuns(src, n, dst);
    case RowCoding::WordRuns:
      return {WordRuns(src, n, dst), false};
  }
  return {};
}

std::optional<std::vector<uint8_t>> ExpandRow(RowCoding coding, const uint8_t* src, size_t n,
                                              size_t maxOut) {
  std::vector<uint8_t> out;
  auto put = [&](const uint8_t* p, size_t count) {
    if (out.size() + count > maxOut) return false;
    out.insert(out.end(), p, p + count);
    return true;
  };
  auto fill = [&](uint8_t v, size_t count) {
    if (out.size() + count > maxOut) return false;
    out.insert(out.end(), count, v);
    return true;
  };
  size_t i = 0;
  switch (coding) {
    case RowCoding::Raw:
      if (!put(src, n)) return std::nullopt;
      return out;
    case RowCoding::PackBits:
      while (i < n) {
        const int8_t h = static_cast<int8_t>(src[i++]);
        if (h >= 0) {
          if (n - i < static_cast<size_t>(h) + 1 || !put(src + i, h + 1)) return std::nullopt;
          i += h + 1;
        } else if (h != -128) {
          if (i >= n || !fill(src[i], 1 - h)) return std::nullopt;
          ++i;
        }
      }
      return out;
    case RowCoding::ZeroRuns:
      while (i < n) {
        const uint8_t h = src[i++];
        const size_t lits = h >> 5;
        if (!fill(0, h & 0x1F) || n - i < lits || !put(src + i, lits)) return std::nullopt;
        i += lits;
      }
      return out;
    case RowCoding::WordRuns:
      while (i < n) {
        const uint8_t h = src[i++];
        if (h < 0x80) {
          if (n - i < static_cast<size_t>(h) + 1 || !put(src + i, h + 1)) return std::nullopt;
          i += h + 1;
          continue;
        }
        const unsigned code = h & 3;
        if (code == 2) return std::nullopt;
        const size_t u = code == 0 ? 1 : code == 1 ? 2 : 4;
        const size_t count = ((h >> 2) & 0x1F) + 1;
        if (n - i < u) return std::nullopt;
        for (size_t k = 0; k < count; ++k)
          if (!put(src + i, u)) return std::nullopt;
        i += u;
      }
      return out;
  }
  return std::nullopt;
}

}  // namespace qvx::raster
