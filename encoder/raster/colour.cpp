#include "colour.h"

#include <algorithm>
#include <fstream>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "builtin_tables.h"

namespace qvx::raster {
namespace {

uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Tetrahedral weights for every combination of the three fractions (0..16
// sixteenths): the four non-zero corner weights, their node offsets and their sum.
struct Tetra {
  uint16_t w[4];
  uint16_t corner[4];
  uint32_t sum;
  uint64_t reciprocal;  // ceil(2^42 / sum): exact division of sums below 2^26
};

}  // namespace

struct TetraTable {
  Tetra t[17 * 17 * 17];
  uint8_t cell[256];
  uint8_t frac[256];
  // With 254 read as 255: grid offset (in values) of the cell's first node per
  // channel (red, green, blue).
  uint16_t cellOffset[3][256];
  // A corner's weight by its raw sixteenths (four times, one per channel), and
  // the reciprocal of each possible weight sum (43687 to 43690: the rounding
  // down of at most three of the four weights).
  static constexpr uint32_t kMinSum = 43687;
  alignas(8) uint16_t weight4[17][4];
  uint32_t sumReciprocal[4];
  TetraTable() {
    constexpr uint16_t axis[3] = {17 * 17, 17, 1};
    for (int fr = 0; fr <= 16; ++fr)
      for (int fg = 0; fg <= 16; ++fg)
        for (int fb = 0; fb <= 16; ++fb) {
          int f[3] = {fr, fg, fb};
          int order[3] = {0, 1, 2};
          std::stable_sort(order, order + 3, [&](int a, int b) { return f[a] > f[b]; });
          const int f1 = f[order[0]], f2 = f[order[1]], f3 = f[order[2]];
          const int raw[4] = {16 - f1, f1 - f2, f2 - f3, f3};
          Tetra& e = t[(fr * 17 + fg) * 17 + fb];
          uint16_t node = 0;
          e.sum = 0;
          for (int i = 0; i < 4; ++i) {
            if (i > 0) node += axis[order[i - 1]];
            e.w[i] = static_cast<uint16_t>(raw[i] * 43690 / 16);
            e.corner[i] = node;
            e.sum += e.w[i];
          }
          e.reciprocal = ((uint64_t(1) << 42) + e.sum - 1) / e.sum;
        }
    for (int x = 0; x < 256; ++x) {
      cell[x] = static_cast<uint8_t>(x == 255 ? 15 : x / 16);
      frac[x] = static_cast<uint8_t>(x == 255 ? 16 : x % 16);
    }
    for (int raw = 0; raw <= 16; ++raw)
      for (int c = 0; c < 4; ++c) weight4[raw][c] = static_cast<uint16_t>(raw * 43690 / 16);
    for (uint32_t i = 0; i < 4; ++i)
      sumReciprocal[i] = static_cast<uint32_t>(((uint64_t(1) << 42) + kMinSum + i - 1) / (kMinSum + i));
    for (int x = 0; x < 256; ++x) {
      const int v = x == 254 ? 255 : x;
      for (int a = 0; a < 3; ++a) {
        cellOffset[a][x] = static_cast<uint16_t>(4 * axis[a] * cell[v]);
      }
    }
  }
};

namespace {

// ceil(2^36 / d): floor(a / d) = a x r[d] >> 36 for every a below 2^24 and
// d up to 4095 (the rounding error r[d] x d - 2^36 stays below 2^12).
constexpr uint32_t kMaxColourSum = 3 * 1023;
struct ReciprocalTable {
  uint64_t r[kMaxColourSum + 1];
  ReciprocalTable() {
    r[0] = 0;
    for (uint64_t d = 1; d <= kMaxColourSum; ++d) r[d] = ((uint64_t(1) << 36) + d - 1) / d;
  }
};

const ReciprocalTable& Reciprocals() {
  static const ReciprocalTable table;
  return table;
}

inline uint32_t DivideByTable(const uint64_t* r, uint32_t a, uint32_t d) {
  return uint32_t((uint64_t(a) * r[std::min(d, kMaxColourSum)]) >> 36);
}

const TetraTable& Tetras() {
  static const TetraTable table;
  return table;
}

const uint16_t* BuiltinGrid(unsigned group, int family, int variant) {
  using namespace builtin;
  static const uint16_t* const grids[3][2][2] = {
      {{kGrid1_1_1, kGrid1_1_2}, {kGrid1_2_1, kGrid1_2_2}},
      {{kGrid2_1_1, kGrid2_1_2}, {kGrid2_2_1, kGrid2_2_2}},
      {{kGrid3_1_1, kGrid3_1_2}, {kGrid3_2_1, kGrid3_2_2}},
  };
  return grids[group][family - 1][variant - 1];
}

const uint16_t* BuiltinCurves(unsigned group, int family, int variant) {
  using namespace builtin;
  static const uint16_t* const curves[4][2][2] = {
      {{kCurves1_1_1, kCurves1_1_2}, {kCurves1_2_1, kCurves1_2_2}},
      {{kCurves2_1_1, kCurves2_1_2}, {kCurves2_2_1, kCurves2_2_2}},
      {{kCurves3_1_1, kCurves3_1_2}, {kCurves3_2_1, kCurves3_2_2}},
      {{kCurves5_1_1, kCurves5_1_2}, {kCurves5_2_1, kCurves5_2_2}},
  };
  return curves[group][family - 1][variant - 1];
}

// Entry i of a 1024-entry table from a 256-entry curve: linear interpolation at
// i x 255 / 1023, scaled by 1023 / 65535.
template <typename Out, typename In>
void Expand(const In* curve, std::array<Out, 1024>& out) {
  for (int i = 0; i < 1024; ++i) {
    const int num = i * 255;
    const int idx = num / 1023, frac = num % 1023;
    const int64_t a = curve[idx], b = curve[std::min(idx + 1, 255)];
    out[i] = static_cast<Out>((a * (1023 - frac) + b * frac) / 65535);
  }
}

}  // namespace

uint32_t DivideSmall(uint32_t a, uint32_t d) { return DivideByTable(Reciprocals().r, a, d); }

int TableVariant(const RasterSettings& s) {
  if (s.docType == 0 || s.docType == 1) return 2;
  if (s.docType == 2) return 1;
  return s.cmSwitch324 != 0 ? 1 : 2;
}

bool MatchingOn(const RasterSettings& s) {
  return (s.cmSwitch320 != 0 || s.docType != 3) && s.docType != 4;
}

TagPair TagSignatures(uint16_t code, uint16_t mediaType, uint32_t mediaVariant, int family,
                      int variant, bool s) {
  const unsigned e = code & 0xF00;
  unsigned m = mediaType;
  if ((m == 0 || m == 12) && mediaVariant == 1) m = 8;
  const bool f1 = family == 1;
  uint32_t G, H, Gv, Gs;
  switch (m) {
    case 1: case 3: case 9: case 10: case 11: case 13: {
      if (e == 0x100 || e == 0x200 || e == 0x300) {
        G = f1 ? 0x8142 : 0x8112, H = 0xC112, Gv = f1 ? 0x8152 : 0x8122, Gs = f1 ? 0x8132 : 0x8102;
      } else if (e == 0x600) {
        G = 0x8114, H = 0xC114, Gv = 0x8124, Gs = 0x8104;
      } else if (e == 0x700) {
        G = 0x8116, H = 0xC116, Gv = 0x8126, Gs = 0x8106;
      } else {
        G = 0x8113, H = 0xC113, Gv = 0x8123, Gs = 0x8103;
      }
      if (!s) {
        G = Gs, H -= 0x10;
      } else if (variant == 1) {
        G = Gv, H += 0x10;
      }
      const uint32_t add = (m == 3 || m == 13) ? 0x100 : m == 9 ? 0x200 : m == 10 ? 0x300 : m == 11 ? 0x400 : 0;
      return {G + add, H + add};
    }
    case 4: case 5: {
      uint32_t A, Av, As;
      if (e == 0x500 || e == 0x600 || e == 0x700) {
        A = 0x8613, Av = 0x8623, As = 0x8603;
      } else {
        A = 0x8612, Av = f1 ? 0x8652 : 0x8622, As = f1 ? 0x8632 : 0x8602;
      }
      if (!s) return {As, A + 0x3FF0};
      if (variant != 1) return {A, A + 0x4000};
      return {Av, A + 0x4010};
    }
    default:
      break;
  }
  if (e == 0x100) {
    G = f1 ? 0x8040 : 0x8010, H = 0xC010, Gv = f1 ? 0x8050 : 0x8020, Gs = f1 ? 0x8030 : 0x8000;
  } else if (e == 0x200) {
    G = f1 ? 0x8041 : 0x8011, H = 0xC011, Gv = f1 ? 0x8051 : 0x8021, Gs = f1 ? 0x8031 : 0x8001;
  } else if (e == 0x500 || e == 0x600 || e == 0x700) {
    G = 0x8013, H = 0xC013, Gv = 0x8023, Gs = 0x8003;
  } else {
    G = f1 ? 0x8042 : 0x8012, H = 0xC012, Gv = f1 ? 0x8052 : 0x8022, Gs = f1 ? 0x8032 : 0x8002;
  }
  if (!s) {
    G = Gs, H -= 0x10;
  } else if (variant == 1) {
    G = Gv, H += 0x10;
  }
  if (m == 8) G += 0x700, H += 0x700;
  return {G, H};
}

const char* TableFileName(uint16_t mediaType, uint32_t mediaVariant) {
  switch (mediaType) {
    case 1: return "qvcta.qcm";
    case 3: case 13: return "qvctb.qcm";
    case 9: return "qvctc.qcm";
    case 10: return "qvctd.qcm";
    case 11: return "qvcte.qcm";
    case 4: case 5: return "qvctf.qcm";
    case 8: return "qvctg.qcm";
    default: return mediaVariant == 1 ? "qvctg.qcm" : "qvct.qcm";
  }
}

std::optional<ColourTables> ParseTableFile(const uint8_t* data, size_t size, TagPair tags) {
  constexpr size_t kHeader = 32;
  if (size < 132 || data[8] != 2 || data[9] != 0) return std::nullopt;
  const uint32_t count = BigEndian32(data + 128);
  if (count > (size - 132) / 12) return std::nullopt;
  // The tag's data, when its entry is present, in bounds and of the exact size.
  auto find = [&](uint32_t sig, size_t payload) -> const uint8_t* {
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* entry = data + 132 + 12 * i;
      if (BigEndian32(entry) != sig) continue;
      const uint64_t offset = BigEndian32(entry + 4), length = BigEndian32(entry + 8);
      if (length != kHeader + payload || offset > size || size - offset < length) return nullptr;
      return data + offset;
    }
    return nullptr;
  };
  const uint8_t* grid = find(tags.grid, kGridValues * 2);
  const uint8_t* curve = find(tags.curve, kCurveValues * 2);
  if (!grid || !curve) return std::nullopt;
  ColourTables t;
  t.grid.resize(kGridValues);
  t.curves.resize(kCurveValues);
  for (size_t i = 0; i < kGridValues; ++i)
    t.grid[i] = static_cast<uint16_t>(grid[kHeader + 2 * i] | grid[kHeader + 2 * i + 1] << 8);
  for (size_t i = 0; i < kCurveValues; ++i)
    t.curves[i] = static_cast<uint16_t>(curve[kHeader + 2 * i] | curve[kHeader + 2 * i + 1] << 8);
  t.inkLimit = static_cast<uint16_t>(curve[12] | curve[13] << 8);
  return t;
}

std::optional<ColourTables> LoadTableFile(const std::filesystem::path& path, TagPair tags) {
  constexpr std::uintmax_t kMaxFile = 64u << 20;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFile) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
    return std::nullopt;
  return ParseTableFile(bytes.data(), bytes.size(), tags);
}

ColourTables BuiltinTables(unsigned passClass, int family, int variant) {
  family = family == 1 ? 1 : 2;
  variant = variant == 1 ? 1 : 2;
  const unsigned curveGroup = passClass <= 1 ? 0 : passClass == 2 ? 1 : passClass == 3 ? 2 : 3;
  const unsigned gridGroup = std::min(curveGroup, 2u);
  static constexpr uint16_t kLimits[4] = {2560, 1664, 1216, 928};
  ColourTables t;
  const uint16_t* grid = BuiltinGrid(gridGroup, family, variant);
  const uint16_t* curves = BuiltinCurves(curveGroup, family, variant);
  t.grid.assign(grid, grid + kGridValues);
  t.curves.assign(curves, curves + kCurveValues);
  t.inkLimit = kLimits[curveGroup];
  return t;
}

ColourTables SelectTables(const RasterSettings& s, uint16_t bandCode, int family,
                          const std::filesystem::path& tableDir) {
  const int variant = TableVariant(s);
  if (!tableDir.empty()) {
    const TagPair tags =
        TagSignatures(bandCode, s.mediaType, s.mediaVariant, family, variant, MatchingOn(s));
    if (auto t = LoadTableFile(tableDir / TableFileName(s.mediaType, s.mediaVariant), tags))
      return std::move(*t);
  }
  return BuiltinTables(PassClass(bandCode), family, variant);
}

void ColourConverter::Init(const ColourTables& tables, const RasterSettings& s, uint16_t code,
                           int family) {
  tetras_ = &Tetras();
  cache_.assign(size_t(1) << kCacheBits, CacheEntry{0xFFFFFFFF, {}});
  reciprocals_ = Reciprocals().r;
  grid_ = tables.grid;
  grid_.resize(kGridValues);
  limit_ = tables.inkLimit;
  monochrome_ = s.dmColor == 1;
  blackOnly_ = MonoOnly(code);
  family1_ = family == 1;
  std::vector<uint16_t> curves = tables.curves;
  curves.resize(kCurveValues);
  if (s.dmColor == 2 || (code & 0x5000) == 0x5000) {
    for (int c = 0; c < 4; ++c) {
      Expand(curves.data() + 256 * c, p_[c]);
      int16_t signedCurve[256];
      for (int i = 0; i < 256; ++i) signedCurve[i] = static_cast<int16_t>(curves[256 * (4 + c) + i]);
      std::array<int16_t, 1024> expanded;
      Expand(signedCurve, expanded);
      for (int i = 0; i < 1024; ++i) rc_[i][c] = expanded[i];
    }
  }
  for (int i = 0; i < 256; ++i) q_[i] = static_cast<uint16_t>(curves[8 * 256 + i] * 1023u / 65535u);
}

Inks ColourConverter::ConvertPixel(uint8_t r, uint8_t g, uint8_t b, unsigned* darkness) const {
  if (monochrome_) {
    const uint8_t gray = static_cast<uint8_t>((30 * r + 59 * g + 11 * b) / 100);
    if (blackOnly_) {
      const uint16_t v = static_cast<uint16_t>(255 - gray);
      if (darkness) *darkness = 4u * v;
      return {v, v, v, v};
    }
    r = g = b = gray;
  }
  if (r == 254) r = 255;
  if (g == 254) g = 255;
  if (b == 254) b = 255;
  if (darkness) *darkness = 4u * (255u - std::max({r, g, b}));
  const TetraTable& tt = *tetras_;
  const Tetra& t = tt.t[(tt.frac[r] * 17 + tt.frac[g]) * 17 + tt.frac[b]];
  const uint16_t* base = grid_.data() + 4 * ((tt.cell[r] * 17 + tt.cell[g]) * 17 + tt.cell[b]);
  uint32_t acc[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) {
    const uint16_t* node = base + 4 * t.corner[i];
    for (int c = 0; c < 4; ++c) acc[c] += uint32_t(t.w[i]) * node[c];
  }
  // Sums stay below 43690 x 1023 < 2^26, where the rounded-up reciprocal
  // divides exactly (divisor below 2^16).
  auto div = [&](uint32_t a) { return static_cast<uint16_t>((uint64_t(a) * t.reciprocal) >> 42); };
  Inks out{div(acc[0]), div(acc[1]), div(acc[2]), div(acc[3])};
  if (family1_ && r == g && g == b) {
    out.m = out.y = out.c;
    out.k = std::max(out.k, out.c);
  }
  return out;
}

Inks ColourConverter::InkValues(uint8_t r, uint8_t g, uint8_t b) const {
  unsigned dark = 0;
  const Inks v = ConvertPixel(r, g, b, &dark);
  return Corrected(v, dark);
}

[[gnu::always_inline]] inline Inks ColourConverter::Corrected(Inks v, unsigned dark) const {
  if (blackOnly_) return {0, 0, 0, q_[v.k & 0xFF]};
  const int16_t* rc = rc_[dark].data();
  const uint32_t ink[4] = {p_[0][std::clamp(rc[0] + int(v.c), 0, 1023)], p_[1][std::clamp(rc[1] + int(v.m), 0, 1023)],
                           p_[2][std::clamp(rc[2] + int(v.y), 0, 1023)], p_[3][std::clamp(rc[3] + int(v.k), 0, 1023)]};
  // Over the limit the colour inks share what black leaves, in 256ths:
  // u = (limit - K) x 256 / (C + M + Y), by the reciprocal table (exact), and
  // without branches, since whether a pixel is over the limit is anybody's guess.
  const uint32_t sum = ink[0] + ink[1] + ink[2] + ink[3];
  const uint32_t limit = limit_;
  const bool over = sum > limit, blackOnly = ink[3] >= limit;
  const uint32_t room = blackOnly ? 0 : (limit - ink[3]) * 256;
  const uint32_t u = DivideByTable(reciprocals_, room, sum - ink[3]);
  Inks out;
  out.c = uint16_t(over ? (u * ink[0]) >> 8 : ink[0]);
  out.m = uint16_t(over ? (u * ink[1]) >> 8 : ink[1]);
  out.y = uint16_t(over ? (u * ink[2]) >> 8 : ink[2]);
  out.k = uint16_t(over && blackOnly ? limit : ink[3]);
  return out;
}

[[gnu::always_inline]] inline Inks ColourConverter::RowPixel(const uint8_t* rgb) const {
#if defined(__SSE2__)
  if (!monochrome_ && !blackOnly_) {
    // ConvertPixel with the four channels of the weighted sum side by side:
    // the 16 x 16-bit products taken whole, the same exact reciprocal division.
    const TetraTable& tt = *tetras_;
    const uint16_t* grid = grid_.data();
    alignas(16) uint32_t lanes[4];
    // 254 reads as 255.
    const unsigned r = rgb[0] + (rgb[0] == 254), g = rgb[1] + (rgb[1] == 254), b = rgb[2] + (rgb[2] == 254);
    const unsigned dark = 4u * (255u - std::max({r, g, b}));
    // The tetrahedron: fractions sorted in descending order, each carrying
    // its axis's step between nodes; tied fractions give zero weights, so
    // their order does not matter.
    unsigned f0 = tt.frac[r], f1 = tt.frac[g], f2 = tt.frac[b];
    unsigned s0 = 4 * 17 * 17, s1 = 4 * 17, s2 = 4;
    auto order = [](unsigned& fa, unsigned& fb, unsigned& sa, unsigned& sb) {
      const bool swap = fa < fb;
      const unsigned f = swap ? fb : fa, s = swap ? sb : sa;
      fb = swap ? fa : fb, sb = swap ? sa : sb;
      fa = f, sa = s;
    };
    order(f0, f1, s0, s1);
    order(f1, f2, s1, s2);
    order(f0, f1, s0, s1);
    const uint16_t* base = grid + tt.cellOffset[0][r] + tt.cellOffset[1][g] + tt.cellOffset[2][b];
    auto node = [&](unsigned offset) {
      return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base + offset));
    };
    auto weights = [&](unsigned raw) {
      return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(tt.weight4[raw]));
    };
    const unsigned r0 = 16 - f0, r1 = f0 - f1, r2 = f1 - f2;
    const __m128i w01 = _mm_unpacklo_epi64(weights(r0), weights(r1));
    const __m128i w23 = _mm_unpacklo_epi64(weights(r2), weights(f2));
    const __m128i n01 = _mm_unpacklo_epi64(node(0), node(s0));
    const __m128i n23 = _mm_unpacklo_epi64(node(s0 + s1), node(4 * (17 * 17 + 17 + 1)));
    const uint32_t reciprocal =
        tt.sumReciprocal[tt.weight4[r0][0] + tt.weight4[r1][0] + tt.weight4[r2][0] + tt.weight4[f2][0] - TetraTable::kMinSum];
    const __m128i lo01 = _mm_mullo_epi16(n01, w01), hi01 = _mm_mulhi_epu16(n01, w01);
    const __m128i lo23 = _mm_mullo_epi16(n23, w23), hi23 = _mm_mulhi_epu16(n23, w23);
    const __m128i acc = _mm_add_epi32(
        _mm_add_epi32(_mm_unpacklo_epi16(lo01, hi01), _mm_unpackhi_epi16(lo01, hi01)),
        _mm_add_epi32(_mm_unpacklo_epi16(lo23, hi23), _mm_unpackhi_epi16(lo23, hi23)));
    const __m128i rc = _mm_shuffle_epi32(_mm_cvtsi32_si128(int(reciprocal)), 0);
    const __m128i even = _mm_srli_epi64(_mm_mul_epu32(acc, rc), 42);
    const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(acc, 32), rc), 42);
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), _mm_or_si128(even, _mm_slli_epi64(odd, 32)));
    Inks node4{uint16_t(lanes[0]), uint16_t(lanes[1]), uint16_t(lanes[2]), uint16_t(lanes[3])};
    if (family1_ && r == g && g == b) {
      node4.m = node4.y = node4.c;
      node4.k = std::max(node4.k, node4.c);
    }
    return Corrected(node4, dark);
  }
#endif
  return InkValues(rgb[0], rgb[1], rgb[2]);
}

void ColourConverter::InkRow(const uint8_t* rgb, int count, Inks* out) const {
  if (count <= 0) return;
  // Three passes, so that the first has no branch to guess wrong: every
  // pixel takes its colour's entry in the cache of recent colours, noting the
  // ones whose entry holds another colour; those are converted (and cached);
  // a pixel repeating its left neighbour copies it last.
  misses_.resize(size_t(count));
  repeats_.resize(size_t(count));
  int* misses = misses_.data();
  int* repeats = repeats_.data();
  size_t missCount = 0, repeatCount = 0;
  uint32_t previous = 0xFFFFFFFF;
  bool missed = false;  // the previous colour's conversion is still to come
  Inks last{};
  for (int i = 0; i < count; ++i) {
    const uint8_t* p = rgb + 3 * size_t(i);
    const uint32_t key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    if (key == previous) {
      if (missed)
        repeats[repeatCount++] = i;
      else
        out[i] = last;
      continue;
    }
    previous = key;
    const CacheEntry& e = cache_[CacheSlot(key)];
    out[i] = last = e.v;
    misses[missCount] = i;
    missed = e.key != key;
    missCount += missed;
  }
  for (size_t m = 0; m < missCount; ++m) {
    const int i = misses[m];
    const uint8_t* p = rgb + 3 * size_t(i);
    const uint32_t key = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    const Inks v = RowPixel(p);
    out[i] = v;
    cache_[CacheSlot(key)] = CacheEntry{key, v};
  }
  for (size_t r = 0; r < repeatCount; ++r) out[repeats[r]] = out[repeats[r] - 1];
}

Inks ColourConverter::DitherValues(uint8_t r, uint8_t g, uint8_t b) const {
  const Inks v = ConvertPixel(r, g, b, nullptr);
  if (blackOnly_) return {0, 0, 0, q_[v.k & 0xFF]};
  // Grid values above 1023 (a damaged table file) read the curves' last entry.
  auto out = [&](int c, uint16_t x) { return int(p_[c][std::min<int>(x, 1023)]); };
  const int k = out(3, v.k);
  int col[3] = {std::max(out(0, v.c), k), std::max(out(1, v.m), k), std::max(out(2, v.y), k)};
  const int s = col[0] + col[1] + col[2] - 2 * k;
  if (s > limit_) {
    if (k >= limit_) return {0, 0, 0, limit_};
    const int d = (limit_ - k) * 256 / (s - k);
    for (int& c : col) c = k + (((c - k) * d) >> 8);
  }
  return {uint16_t(col[0]), uint16_t(col[1]), uint16_t(col[2]), uint16_t(k)};
}

}  // namespace qvx::raster
