#include "compress.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvx::raster {
namespace {

// The coders decide token by token from per-byte facts (byte is zero, byte
// equals the next one). Those facts are gathered for the whole row first, 16
// bytes at a time, into bit maps, so that each run or group end is found with
// a bit scan instead of a byte loop.
class RowMap {
 public:
  // All bits clear; bits from n on stay clear.
  explicit RowMap(size_t n) : words_(n / 64 + 1) {
    if (words_ + 1 > inline_.size()) {
      heap_.resize(words_ + 1);
      w_ = heap_.data();
    }
    std::fill(w_, w_ + words_ + 1, uint64_t{0});  // one more word for Window
  }
  RowMap(const RowMap&) = delete;
  RowMap& operator=(const RowMap&) = delete;

  void Set(size_t k) { w_[k >> 6] |= uint64_t{1} << (k & 63); }
  void Set16(size_t k, unsigned bits) { w_[k >> 6] |= uint64_t(bits) << (k & 63); }  // k % 16 == 0
  uint64_t Word(size_t index) const { return w_[index]; }
  // Bits k .. k + kWindow - 1 of the map as bits 0 .. kWindow - 1. Bits above
  // may be map bits or clear, so only a set bit there is certain.
  static constexpr size_t kWindow = 57;
  uint64_t Window(size_t k) const {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(w_) + (k >> 3), 8);
    return v >> (k & 7);
#else
    const unsigned shift = k & 63;
    return w_[k >> 6] >> shift | (w_[(k >> 6) + 1] << 1) << (63 - shift);
#endif
  }
  size_t Words() const { return words_; }

 private:
  size_t words_;
  std::array<uint64_t, 65> inline_;  // rows of up to 4 KB need no allocation
  std::vector<uint64_t> heap_;
  uint64_t* w_ = inline_.data();
};

// First position in [from, limit) whose bit in the map given by word(index) is
// set; limit when there is none. limit must not pass the row's end.
template <class WordOf>
size_t NextSet(WordOf word, size_t from, size_t limit) {
  if (from >= limit) return limit;
  size_t base = from & ~size_t{63};
  uint64_t bits = word(from >> 6) >> (from & 63) << (from & 63);
  while (bits == 0) {
    base += 64;
    if (base >= limit) return limit;
    bits = word(base >> 6);
  }
  return std::min(limit, base + size_t(__builtin_ctzll(bits)));
}

template <class WordOf>
size_t NextClear(WordOf word, size_t from, size_t limit) {
  return NextSet([&](size_t i) { return ~word(i); }, from, limit);
}

#if defined(__SSE2__)
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline unsigned Mask(__m128i m) { return unsigned(_mm_movemask_epi8(m)); }
#endif

// Bit k: src[k] == src[k + 1].
void MapEqualNext(const uint8_t* src, size_t n, RowMap& map) {
  size_t k = 0;
#if defined(__SSE2__)
  for (; k + 17 <= n; k += 16) map.Set16(k, Mask(_mm_cmpeq_epi8(Load16(src + k), Load16(src + k + 1))));
#endif
  for (; k + 1 < n; ++k)
    if (src[k] == src[k + 1]) map.Set(k);
}

// Bit k: src[k] == 0.
void MapZeros(const uint8_t* src, size_t n, RowMap& map) {
  size_t k = 0;
#if defined(__SSE2__)
  for (; k + 16 <= n; k += 16) map.Set16(k, Mask(_mm_cmpeq_epi8(Load16(src + k), _mm_setzero_si128())));
#endif
  for (; k < n; ++k)
    if (src[k] == 0) map.Set(k);
}

size_t PackBits(const uint8_t* src, size_t n, uint8_t* dst) {
  RowMap eq(n);
  MapEqualNext(src, n, eq);
  const auto equal = [&](size_t w) { return eq.Word(w); };
  // Bit j: three equal bytes start at j.
  const size_t words = eq.Words();
  const auto triple = [&](size_t w) {
    const uint64_t next = w + 1 < words ? eq.Word(w + 1) << 63 : 0;
    return eq.Word(w) & (eq.Word(w) >> 1 | next);
  };
  uint8_t* out = dst;
  size_t i = 0;
  constexpr size_t kWindow = RowMap::kWindow;
  while (i < n) {
    const size_t limit = std::min(n, i + 128);
    const uint64_t near = eq.Window(i);
    size_t equalAfter = size_t(__builtin_ctzll(~near | uint64_t{1} << (kWindow - 1)));
    if (equalAfter == kWindow - 1) equalAfter = NextClear(equal, i + equalAfter, limit - 1) - i;  // long run
    const size_t run = std::min(equalAfter, limit - 1 - i) + 1;
    if (run >= 3) {
      *out++ = static_cast<uint8_t>(257 - run);  // -(run - 1) as a signed byte
      *out++ = src[i];
      i += run;
      continue;
    }
    // Literal run up to the next three equal bytes.
    const uint64_t triples = (near & near >> 1) >> 1;
    size_t j;
    if (triples) {
      j = std::min(limit, i + 1 + size_t(__builtin_ctzll(triples)));
    } else {
      j = i + kWindow - 1 >= limit ? limit : NextSet(triple, i + kWindow - 1, limit);
    }
    *out++ = static_cast<uint8_t>(j - i - 1);
    std::memcpy(out, src + i, j - i);
    out += j - i;
    i = j;
  }
  return static_cast<size_t>(out - dst);
}

constexpr size_t kNoBit = ~size_t{0};

// Positions of the set bits of a bit map given word by word, in order; kNoBit
// after the last.
template <class WordOf>
class SetBits {
 public:
  SetBits(WordOf word, size_t words) : word_(word), words_(words), bits_(word(0)) {}
  size_t Next() {
    while (bits_ == 0) {
      if (++index_ >= words_) return kNoBit;
      bits_ = word_(index_);
    }
    const size_t k = index_ * 64 + size_t(__builtin_ctzll(bits_));
    bits_ &= bits_ - 1;
    return k;
  }

 private:
  WordOf word_;
  size_t words_, index_ = 0;
  uint64_t bits_;
};

CodedRow ZeroRuns(const uint8_t* src, size_t n, uint8_t* dst) {
  RowMap zero(n);
  MapZeros(src, n, zero);
  const size_t words = zero.Words();
  const uint64_t lastValid = (uint64_t{1} << (n & 63)) - 1;
  // Bit k: src[k] != 0.
  const auto ink = [&](size_t w) { return ~zero.Word(w) & (w + 1 < words ? ~uint64_t{0} : lastValid); };
  // Bit k: a run of non-zero bytes starts at k, or ends with k.
  const auto starts = [&](size_t w) { return ink(w) & ~(ink(w) << 1 | (w ? ink(w - 1) >> 63 : 0)); };
  const auto ends = [&](size_t w) { return ink(w) & ~(ink(w) >> 1 | (w + 1 < words ? ink(w + 1) << 63 : 0)); };

  // A group is up to 31 zeros and then up to 7 non-zero bytes; it ends early
  // at the row's end or where a zero follows its literals. The row is walked
  // a zero run and the non-zero run after it at a time: mostly one group.
  uint8_t* out = dst;
  size_t literalGroups = 0;
  size_t p = 0;  // end of the previous non-zero run
  SetBits runStart(starts, words);
  SetBits runEnd(ends, words);
  for (size_t s; (s = runStart.Next()) != kNoBit;) {
    const size_t e = runEnd.Next() + 1;
    size_t z = s - p, k = e - s;
    p = e;
    if (z < 31 && k <= 7) {
      *out++ = static_cast<uint8_t>(k << 5 | z);
      // A whole word where the source has one: bytes past the group are
      // overwritten by what follows, and stay within the coded size bound.
      if (s + 8 <= n) {
        std::memcpy(out, src + s, 8);
      } else {
        std::memcpy(out, src + s, k);
      }
      out += k;
      ++literalGroups;
      continue;
    }
    for (; z >= 31; z -= 31) *out++ = 31;
    for (size_t at = s; at < e; at += 7, z = 0) {
      const size_t count = std::min<size_t>(7, e - at);
      *out++ = static_cast<uint8_t>(count << 5 | z);
      std::memcpy(out, src + at, count);
      out += count;
      ++literalGroups;
    }
  }
  size_t z = n - p;
  for (; z >= 31; z -= 31) *out++ = 31;
  if (z) *out++ = static_cast<uint8_t>(z);
  return {static_cast<size_t>(out - dst), literalGroups <= 2};
}

uint32_t Word(const uint8_t* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

// Bytes [i, end) between word runs: literal runs, with equal byte pairs as
// 1-byte repeats. eq is the row's equal-next map.
uint8_t* WordRunLiterals(const uint8_t* src, size_t i, size_t end, const RowMap& eq, uint8_t* out) {
  const auto equal = [&](size_t w) { return eq.Word(w); };
  constexpr size_t kWindow = RowMap::kWindow;
  while (i < end) {
    const uint64_t near = eq.Window(i);
    const size_t equalAfter = size_t(__builtin_ctzll(~near | uint64_t{1} << 32));
    const size_t run = std::min(equalAfter, std::min(end, i + 32) - 1 - i) + 1;
    if (run >= 2) {
      *out++ = static_cast<uint8_t>(0x80 | (run - 1) << 2);
      *out++ = src[i];
      i += run;
      continue;
    }
    // Up to the next equal pair that lies inside the stretch.
    const size_t limit = std::min(end, i + 128);
    const size_t last = std::min(limit, end - 1);
    const uint64_t pairs = near >> 1;
    size_t j;
    if (pairs) {
      j = std::min(last, i + 1 + size_t(__builtin_ctzll(pairs)));
    } else {
      j = i + kWindow >= last ? last : NextSet(equal, i + kWindow, last);
    }
    if (j == end - 1) j = limit;
    *out++ = static_cast<uint8_t>(j - i - 1);
    std::memcpy(out, src + i, j - i);
    out += j - i;
    i = j;
  }
  return out;
}


// First word position i (a multiple of 4 from `from`) with Word(i) == Word(i + 4)
// and i + 8 <= n; n when there is none.
size_t NextWordPair(const uint8_t* src, size_t from, size_t n) {
  size_t i = from;
#if defined(__SSE2__)
  for (; i + 20 <= n; i += 16) {
    const unsigned m = Mask(_mm_cmpeq_epi32(Load16(src + i), Load16(src + i + 4)));
    if (m) return i + size_t(__builtin_ctz(m));  // 4 mask bits per word
  }
#endif
  for (; i + 8 <= n; i += 4)
    if (Word(src + i) == Word(src + i + 4)) return i;
  return n;
}

// End of the run of words equal to the one at i, scanning from `from`.
size_t WordRunEnd(const uint8_t* src, size_t i, size_t from, size_t n) {
  const uint32_t w = Word(src + i);
  size_t end = from;
#if defined(__SSE2__)
  const __m128i ww = _mm_set1_epi32(int(w));
  for (; end + 16 <= n; end += 16) {
    const unsigned m = Mask(_mm_cmpeq_epi32(Load16(src + end), ww)) ^ 0xFFFFu;
    if (m) return end + size_t(__builtin_ctz(m)) / 4 * 4;
  }
#endif
  while (end + 4 <= n && Word(src + end) == w) end += 4;
  return end;
}

size_t WordRuns(const uint8_t* src, size_t n, uint8_t* dst) {
  RowMap eq(n);
  MapEqualNext(src, n, eq);
  uint8_t* out = dst;
  size_t literalStart = 0, i = 0;
  while ((i = NextWordPair(src, i, n)) < n) {
    const size_t end = WordRunEnd(src, i, i + 8, n);
    out = WordRunLiterals(src, literalStart, i, eq, out);
    out = CodeWordRun(src + i, end - i, out);
    i = literalStart = end;
  }
  out = WordRunLiterals(src, literalStart, n, eq, out);
  return static_cast<size_t>(out - dst);
}

}  // namespace

uint8_t* CodeWordRun(const uint8_t* unit, size_t bytes, uint8_t* out) {
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
