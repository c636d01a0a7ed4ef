#include "halftone.h"

#include <algorithm>
#include <cstring>

#include "halftone_tables.h"

namespace qvx::raster {
namespace {

constexpr int16_t kOneBit[8] = {0, 0, 0, 1023, 1023, 1023, 0, 420};
constexpr int16_t kTwoBit[8] = {422, 302, 0, 1023, 422, 302, 0, 302};
constexpr int16_t kTwoBitEnvelope[8] = {422, 0, 9999, 1023, 422, 302, 0, 420};
constexpr int16_t kWide[8] = {800, 600, 0, 1536, 800, 600, 0, 540};
constexpr int16_t kWide2510[8] = {800, 0, 9999, 1536, 800, 600, 0, 420};
constexpr int16_t kWide2520[8] = {32, 600, 0, 1536, 800, 600, 0, 540};
constexpr int16_t kWideThin[8] = {600, 480, 0, 1536, 600, 480, 0, 420};

MethodRecord Record(uint8_t bits, bool wide, uint8_t replication, const int16_t (&k)[8]) {
  MethodRecord m;
  m.bits = bits;
  m.wide = wide;
  m.replication = replication;
  std::copy(k, k + 8, m.k);
  return m;
}

// The family-2 table; false when the key has no row.
bool DiffusionRecord(unsigned key, MethodRecord* out) {
  switch (key) {
    case 0x107: case 0x117: *out = Record(1, false, 4, kOneBit); return true;
    case 0x205: case 0x215: *out = Record(1, false, 2, kOneBit); return true;
    case 0x300: case 0x310: *out = Record(1, false, 1, kOneBit); return true;
    case 0x2107: *out = Record(2, false, 4, kTwoBit); return true;
    case 0x2205: *out = Record(2, false, 2, kTwoBit); return true;
    case 0x2300: *out = Record(2, false, 1, kTwoBit); return true;
    case 0x2117: *out = Record(2, false, 4, kTwoBitEnvelope); return true;
    case 0x2215: *out = Record(2, false, 2, kTwoBitEnvelope); return true;
    case 0x2310: *out = Record(2, false, 1, kTwoBitEnvelope); return true;
    case 0x2500: case 0x2600: case 0x2700: *out = Record(2, true, 2, kWide); return true;
    case 0x2510: *out = Record(2, true, 2, kWide2510); return true;
    case 0x2520: *out = Record(2, true, 2, kWide2520); return true;
    case 0x2620: case 0x2720: *out = Record(2, true, 2, kWideThin); return true;
    default: return false;
  }
}

uint8_t ModeReplication(uint16_t code) {
  switch (PassClass(code)) {
    case 1: return 4;
    case 3: return 1;
    default: return 2;
  }
}

inline int16_t Noise(unsigned i) { return builtin::kNoise[i & 1023]; }

}  // namespace

unsigned DiffusionKey(uint16_t bandCode, uint16_t mediaType, int paperSize) {
  unsigned key = bandCode & 0x2F0F;
  if (mediaType == 0 && IsEnvelope(paperSize)) key += 16;
  if (mediaType == 9 || mediaType == 11 ||
      (PassClass(bandCode) == 5 && (mediaType == 1 || mediaType == 2 || mediaType == 3 || mediaType == 10)))
    key += 32;
  return key;
}

MethodRecord SelectMethod(int family, uint16_t bandCode, uint16_t mediaType, int paperSize) {
  if (family == 1) {
    MethodRecord m = Record(1, false, ModeReplication(bandCode), kOneBit);
    m.ordered = true;
    return m;
  }
  MethodRecord m;
  if (DiffusionRecord(DiffusionKey(bandCode, mediaType, paperSize), &m)) return m;
  // No row for the key: a record that still fits the mode's plane rows and line
  // count (bits, replication and lines per row), with the parameters of the
  // mode's plain row where there is one.
  const bool wide = PassClass(bandCode) >= 5;
  const uint8_t bits = Multibit(bandCode) ? 2 : 1;
  if (bits == 2 && DiffusionRecord(bandCode & 0x2F0F, &m)) return m;
  return Record(bits, wide, ModeReplication(bandCode),
                bits == 1 ? kOneBit : wide ? kWide : kTwoBit);
}

void Halftoner::Select(const MethodRecord& method, int outPixels) {
  method_ = method;
  outPixels_ = outPixels;
  line_ = 0;
  p_ = q_ = 0;
  if (method.ordered) return;
  const size_t values = 3 * size_t(outPixels) + 12;
  for (auto& e : errors_) {
    e.resize(values);
    for (size_t i = 0; i < values; ++i) e[i] = builtin::kStartPattern[i % 4096];
  }
}

bool Halftoner::Rows(const ColourConverter& cv, const uint8_t* rows, size_t bytesPerRow,
                     int rowCount, int pageRow, int inkLeft, int inkWidth, uint8_t* out,
                     size_t planeStride) {
  bool ink = false;
  const size_t lineBytes = 4 * planeStride;
  for (int r = 0; r < rowCount; ++r) {
    const uint8_t* row = rows + size_t(r) * bytesPerRow;
    if (method_.ordered) {
      ink |= DitherLine(cv, row, pageRow + r, inkLeft, inkWidth, out, planeStride);
      out += lineBytes;
      continue;
    }
    for (int l = 0; l < LinesPerRow(); ++l) {
      const bool rtl = method_.wide ? l == 1 : (line_ & 1) != 0;
      ink |= DiffuseLine(cv, row, inkLeft, inkWidth, rtl, out, planeStride);
      ++line_;
      out += lineBytes;
    }
  }
  return ink;
}

bool Halftoner::DiffuseLine(const ColourConverter& cv, const uint8_t* row, int inkLeft,
                            int inkWidth, bool rtl, uint8_t* line, size_t planeStride) {
  std::memset(line, 0, 4 * planeStride);
  if (inkWidth <= 0) return false;
  // The kernel with its bit depth and channel count fixed at compile time.
  if (method_.bits == 1)
    return cv.BlackOnly() ? Diffuse<1, 3>(cv, row, inkLeft, inkWidth, rtl, line, planeStride)
                          : Diffuse<1, 0>(cv, row, inkLeft, inkWidth, rtl, line, planeStride);
  return cv.BlackOnly() ? Diffuse<2, 3>(cv, row, inkLeft, inkWidth, rtl, line, planeStride)
                        : Diffuse<2, 0>(cv, row, inkLeft, inkWidth, rtl, line, planeStride);
}

template <int bits, int firstChannel>
bool Halftoner::Diffuse(const ColourConverter& cv, const uint8_t* row, int inkLeft, int inkWidth,
                        bool rtl, uint8_t* line, size_t planeStride) {
  const int rep = method_.replication;
  constexpr int byteShift = bits == 1 ? 3 : 2;  // pixels per byte: 8 or 4
  constexpr int pixelMask = (1 << byteShift) - 1;
  const int16_t* k = method_.k;
  const int tmax = method_.wide ? 2046 : 1023;
  // Energy taken out per level; a one-bit dot is level 1 with k5.
  const int take[4] = {0, k[5], bits == 1 ? k[5] : k[4], bits == 1 ? k[5] : k[3]};
  // One-bit kernels only test k2; their level-2 and level-3 thresholds never hit.
  const int t0 = bits == 1 ? 1 << 20 : k[0], t1 = bits == 1 ? 1 << 20 : k[1], t2 = k[2];
  // Rotate the roles of the three rows: slot (line mod 3) is the current row.
  const int cur = line_ % 3, prev = (line_ + 2) % 3, prev2 = (line_ + 1) % 3;
  const int step = rtl ? -1 : 1;
  const int b1 = -3 * step, b2 = -6 * step, f1 = 3 * step;
  const int x0 = rtl ? (inkLeft + inkWidth) * rep - 1 : inkLeft * rep;
  const int count = inkWidth * rep;

  bool any = false;
  uint8_t acc[4] = {0, 0, 0, 0};
  int accByte = x0 >> byteShift;
  int ink[4] = {0, 0, 0, 0};
  uint32_t cached = 0xFFFFFFFF;
  const uint8_t* px = row + 3 * (rtl ? inkLeft + inkWidth - 1 : inkLeft);
  const int pxStep = rtl ? -3 : 3;
  int repLeft = 0;
  unsigned p = p_, q = q_;
  const int16_t* noise = builtin::kNoise;
  int16_t* errors[4];
  for (int c = 0; c < 4; ++c) errors[c] = errors_[c].data() + 6;  // two pixels of margin
  const int16_t* lower = builtin::kLowerBound;

  for (int n = 0, x = x0; n < count; ++n, x += step) {
    if (repLeft == 0) {
      const uint32_t rgb = uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2];
      if (rgb != cached) {
        const Inks v = cv.InkValues(px[0], px[1], px[2]);
        ink[0] = v.c, ink[1] = v.m, ink[2] = v.y, ink[3] = v.k;
        cached = rgb;
      }
      px += pxStep;
      repLeft = rep;
    }
    --repLeft;
    if ((x >> byteShift) != accByte) {
      for (int c = firstChannel; c < 4; ++c) {
        line[c * planeStride + accByte] = acc[c];
        any |= acc[c] != 0;
        acc[c] = 0;
      }
      accByte = x >> byteShift;
    }
    const int shift = (pixelMask - (x & pixelMask)) * bits;
    for (int c = firstChannel; c < 4; ++c) {
      int16_t* e = errors[c] + 3 * x;
      int E = ((2 * (e[b1 + cur] + e[prev]) + e[b1 + prev] + e[f1 + prev] + e[b2 + cur] + e[prev2]) >> 3) +
              ink[c];
      E = int16_t(E);
      const int v = ink[c];
      const int lb = lower[v];
      const int np = noise[p & 1023];
      E = E < lb ? lb + np / 4 : E;
      ++p;
      const bool spread = np >= 192;
      const int nq = noise[q & 1023];
      q += spread;
      const int t = spread ? std::clamp(2 * nq + 514, 2, tmax) : 2;
      int level = E >= t + t0 ? 3 : E >= t + t1 ? 2 : E >= t + t2 ? 1 : 0;
      if constexpr (bits == 1) level = level != 0;
      const int white = E + 1;
      const int leak = white >= t + k[6] ? k[7] : 0;
      level = v > 0 ? level : 0;
      E = v > 0 ? E - take[bits == 1 ? level * 3 : level] : white - leak;
      e[cur] = int16_t(E);
      acc[c] |= uint8_t(level << shift);
    }
  }
  for (int c = firstChannel; c < 4; ++c) {
    line[c * planeStride + accByte] = acc[c];
    any |= acc[c] != 0;
  }
  p_ = p & 1023;
  q_ = q & 1023;
  return any;
}

bool Halftoner::DitherLine(const ColourConverter& cv, const uint8_t* row, int pageRow,
                           int inkLeft, int inkWidth, uint8_t* line, size_t planeStride) {
  std::memset(line, 0, 4 * planeStride);
  if (inkWidth <= 0) return false;
  const int rep = method_.replication;
  const uint8_t* thresholds = builtin::kThresholds + (pageRow & 127) * 128;
  uint32_t cached = 0xFFFFFFFF;
  Inks v{};
  for (int sx = inkLeft; sx < inkLeft + inkWidth; ++sx) {
    const uint8_t* px = row + 3 * sx;
    const uint32_t rgb = uint32_t(px[0]) << 16 | uint32_t(px[1]) << 8 | px[2];
    if (rgb != cached) v = cv.DitherValues(px[0], px[1], px[2]), cached = rgb;
    if ((v.c | v.m | v.y | v.k) == 0) continue;
    for (int j = 0; j < rep; ++j) {
      const int x = sx * rep + j;
      const int t = 4 * thresholds[x & 127];
      const uint8_t bit = uint8_t(0x80 >> (x & 7));
      const size_t at = size_t(x >> 3);
      if (t < v.c) line[at] |= bit;
      if (t < v.m) line[planeStride + at] |= bit;
      if (t < v.y) line[2 * planeStride + at] |= bit;
      if (t < v.k) line[3 * planeStride + at] |= bit;
    }
  }
  bool any = false;
  uint8_t* k = line + 3 * planeStride;
  for (size_t i = 0; i < planeStride; ++i) {
    for (int c = 0; c < 3; ++c) line[c * planeStride + i] &= uint8_t(~k[i]);
    any |= (line[i] | line[planeStride + i] | line[2 * planeStride + i] | k[i]) != 0;
  }
  return any;
}

}  // namespace qvx::raster
