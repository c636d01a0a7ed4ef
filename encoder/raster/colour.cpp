#include "colour.h"

#include <algorithm>
#include <fstream>

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
  }
};

namespace {

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
      Expand(signedCurve, rc_[c]);
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
  if (blackOnly_) return {0, 0, 0, q_[v.k & 0xFF]};
  const uint16_t in[4] = {v.c, v.m, v.y, v.k};
  uint16_t ink[4];
  for (int c = 0; c < 4; ++c) {
    const int x = std::clamp(int(rc_[c][dark]) + int(in[c]), 0, 1023);
    ink[c] = p_[c][x];
  }
  const uint16_t sum = static_cast<uint16_t>(ink[0] + ink[1] + ink[2] + ink[3]);
  if (sum > limit_) {
    if (ink[3] >= limit_) return {0, 0, 0, limit_};
    const uint32_t u = (uint32_t(limit_) - ink[3]) * 256 / (sum - ink[3]);
    for (int c = 0; c < 3; ++c) ink[c] = static_cast<uint16_t>((u * ink[c]) >> 8);
  }
  return {ink[0], ink[1], ink[2], ink[3]};
}

Inks ColourConverter::DitherValues(uint8_t r, uint8_t g, uint8_t b) const {
  const Inks v = ConvertPixel(r, g, b, nullptr);
  if (blackOnly_) return {0, 0, 0, q_[v.k & 0xFF]};
  const int k = p_[3][v.k];
  int col[3] = {std::max<int>(p_[0][v.c], k), std::max<int>(p_[1][v.m], k), std::max<int>(p_[2][v.y], k)};
  const int s = col[0] + col[1] + col[2] - 2 * k;
  if (s > limit_) {
    if (k >= limit_) return {0, 0, 0, limit_};
    const int d = (limit_ - k) * 256 / (s - k);
    for (int& c : col) c = k + (((c - k) * d) >> 8);
  }
  return {uint16_t(col[0]), uint16_t(col[1]), uint16_t(col[2]), uint16_t(k)};
}

}  // namespace qvx::raster
