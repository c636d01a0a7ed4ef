#include "halftone.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
  // Each channel starts from the same seed: value i of the channel's
  // (pixel, row) sequence is pattern entry i mod 4096.
  const size_t values = 3 * size_t(outPixels) + 12;
  errors_.resize(4 * values);
  for (size_t i = 0; i < values; ++i)
    for (int c = 0; c < 4; ++c) errors_[4 * i + c] = builtin::kStartPattern[i % 4096];
}

void Halftoner::ConvertRow(const ColourConverter& cv, const uint8_t* row, int inkLeft, int inkWidth) {
  inks_.resize(size_t(std::max(inkWidth, 0)));
  converted_.resize(inks_.size());
  const Inks* converted = converted_.data();
  cv.InkRow(row + 3 * size_t(inkLeft), inkWidth, converted_.data());
  const int16_t* lower = builtin::kLowerBound;
  PixelInk* p = inks_.data();
  for (int i = 0; i < inkWidth; ++i, ++p) {
    const uint16_t v[4] = {converted[i].c, converted[i].m, converted[i].y, converted[i].k};
#if defined(__SSE2__)
    const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p->v), _mm_unpacklo_epi16(packed, _mm_setzero_si128()));
    const __m128i bounds = _mm_setr_epi32(lower[v[0]], lower[v[1]], lower[v[2]], lower[v[3]]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p->lb), bounds);
#else
    for (int c = 0; c < 4; ++c) p->v[c] = v[c], p->lb[c] = lower[v[c]];
#endif
  }
}

bool Halftoner::Rows(const ColourConverter& cv, const uint8_t* rows, size_t bytesPerRow,
                     int rowCount, int pageRow, int inkLeft, int inkWidth, uint8_t* out,
                     size_t planeStride) {
  bool ink = false;
  const size_t lineBytes = 4 * planeStride;
  const uint8_t* converted = nullptr;  // the row inks_ holds
  for (int r = 0; r < rowCount; ++r) {
    const uint8_t* row = rows + size_t(r) * bytesPerRow;
    if (method_.ordered) {
      ink |= DitherLine(cv, row, pageRow + r, inkLeft, inkWidth, out, planeStride);
      out += lineBytes;
      continue;
    }
    // A row repeating the one before (scaled-up images) keeps its conversion.
    if (!converted || std::memcmp(converted + 3 * size_t(inkLeft), row + 3 * size_t(inkLeft),
                                  3 * size_t(std::max(inkWidth, 0))) != 0)
      ConvertRow(cv, row, inkLeft, inkWidth);
    converted = row;
    for (int l = 0; l < LinesPerRow(); ++l) {
      const bool rtl = method_.wide ? l == 1 : (line_ & 1) != 0;
      ink |= DiffuseLine(cv.BlackOnly(), inkLeft, inkWidth, rtl, out, planeStride);
      ++line_;
      out += lineBytes;
    }
  }
  return ink;
}

namespace {

// The noise walk of error diffusion: position p advances once per pixel and
// channel, the threshold position q once per position whose noise is 192 or
// more. Since q always equals the count of such positions passed (modulo
// 1024), one step counter s with p = s mod 1024 and q = spread(s) mod 1024
// stands for both; it repeats after kPeriod steps. Per step: the threshold
// offset for either threshold range and the noise quarter added at the lower
// bound.
struct NoiseSteps {
  static constexpr unsigned kPeriod = 8192;
  static constexpr unsigned kPad = 8;  // vector loads run up to 3 steps past the period
  uint16_t spread[kPeriod];            // q at step s
  int32_t threshold[2][kPeriod + kPad];
  int32_t quarter[kPeriod + kPad];
  bool periodic = false;

  NoiseSteps() {
    unsigned q = 0;
    for (unsigned s = 0; s < kPeriod + kPad; ++s) {
      const int np = builtin::kNoise[s & 1023];
      const unsigned at = s % kPeriod;
      if (s < kPeriod) spread[s] = uint16_t(q);
      const int nq = builtin::kNoise[spread[at]];
      threshold[0][s] = np >= 192 ? std::clamp(2 * nq + 514, 2, 1023) : 2;
      threshold[1][s] = np >= 192 ? std::clamp(2 * nq + 514, 2, 2046) : 2;
      quarter[s] = np / 4;
      if (s < kPeriod) q = (q + (np >= 192)) & 1023;
      if (s + 1 == kPeriod) periodic = q == 0;
    }
  }

  // The step standing for positions (p, q); kPeriod when none does.
  unsigned StepOf(unsigned p, unsigned q) const {
    for (unsigned s = p; s < kPeriod; s += 1024)
      if (spread[s] == q) return s;
    return kPeriod;
  }
};

const NoiseSteps& Steps() {
  static const NoiseSteps steps;
  return steps;
}

}  // namespace

bool Halftoner::DiffuseLine(bool blackOnly, int inkLeft, int inkWidth, bool rtl, uint8_t* line,
                            size_t planeStride) {
  std::memset(line, 0, 4 * planeStride);
  if (inkWidth <= 0) return false;
#if defined(__SSE2__)
  if (!blackOnly && !reference_) {
    const NoiseSteps& steps = Steps();
    const unsigned s = steps.periodic ? steps.StepOf(p_, q_) : NoiseSteps::kPeriod;
    // Thresholds in descending order let the level be counted.
    const int16_t* k = method_.k;
    const bool nested = k[0] >= k[1] && k[1] >= k[2];
    if (s < NoiseSteps::kPeriod) {
      auto run = [&](auto kernel, auto kernelRtl) {
        return rtl ? (this->*kernelRtl)(inkLeft, inkWidth, line, planeStride, s)
                   : (this->*kernel)(inkLeft, inkWidth, line, planeStride, s);
      };
      if (method_.bits == 1) return run(&Halftoner::DiffuseVector<1, true, false>, &Halftoner::DiffuseVector<1, true, true>);
      return nested ? run(&Halftoner::DiffuseVector<2, true, false>, &Halftoner::DiffuseVector<2, true, true>)
                    : run(&Halftoner::DiffuseVector<2, false, false>, &Halftoner::DiffuseVector<2, false, true>);
    }
  }
#endif
  // The kernel with its bit depth and channel count fixed at compile time.
  if (method_.bits == 1)
    return blackOnly ? Diffuse<1, 3>(inkLeft, inkWidth, rtl, line, planeStride)
                     : Diffuse<1, 0>(inkLeft, inkWidth, rtl, line, planeStride);
  return blackOnly ? Diffuse<2, 3>(inkLeft, inkWidth, rtl, line, planeStride)
                   : Diffuse<2, 0>(inkLeft, inkWidth, rtl, line, planeStride);
}

template <int bits, int firstChannel>
bool Halftoner::Diffuse(int inkLeft, int inkWidth, bool rtl, uint8_t* line, size_t planeStride) {
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
  const PixelInk* px = inks_.data() + (rtl ? inkWidth - 1 : 0);
  int repLeft = 0;
  unsigned p = p_, q = q_;
  const int16_t* noise = builtin::kNoise;
  int32_t* errors = errors_.data() + 24;  // two pixels of margin
  const int16_t* lower = builtin::kLowerBound;

  for (int n = 0, x = x0; n < count; ++n, x += step) {
    if (repLeft == 0) {
      px += n == 0 ? 0 : step;
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
      // Value o of this channel's (pixel, row) sequence, relative to pixel x.
      int32_t* e = errors + 12 * x + c;
      auto at = [e](int o) -> int32_t& { return e[4 * o]; };
      int E = ((2 * (at(b1 + cur) + at(prev)) + at(b1 + prev) + at(f1 + prev) + at(b2 + cur) + at(prev2)) >> 3) +
              px->v[c];
      E = int16_t(E);
      const int v = px->v[c];
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
      at(cur) = int16_t(E);
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

#if defined(__SSE2__)
namespace {

inline __m128i Load(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

inline __m128i Choose(__m128i mask, __m128i a, __m128i b) {  // mask ? a : b
  return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

}  // namespace

// The four channels of Diffuse<bits, 0> side by side, one vector lane each;
// the noise walk comes from the step tables. Same arithmetic, same results.
// nested: k0 >= k1 >= k2, so the level is the count of thresholds passed.
template <int bits, bool nested, bool rtl>
bool Halftoner::DiffuseVector(int inkLeft, int inkWidth, uint8_t* line, size_t planeStride, unsigned s) {
  const NoiseSteps& steps = Steps();
  const int rep = method_.replication;
  constexpr int byteShift = bits == 1 ? 3 : 2;
  constexpr int pixelMask = (1 << byteShift) - 1;
  constexpr int step = rtl ? -1 : 1;
  const int16_t* k = method_.k;
  const int32_t* threshold = steps.threshold[method_.wide ? 1 : 0];
  // E >= t + k  is  E > t + (k - 1).
  const __m128i k0 = _mm_set1_epi32(k[0] - 1), k1 = _mm_set1_epi32(k[1] - 1), k2 = _mm_set1_epi32(k[2] - 1);
  const __m128i k6 = _mm_set1_epi32(k[6] - 2), leakValue = _mm_set1_epi32(k[7]);
  // Energy per level (a one-bit dot is level 1 with k5); counted levels take
  // the differences.
  const __m128i take1 = _mm_set1_epi32(k[5]), take2 = _mm_set1_epi32(nested ? k[4] - k[5] : k[4]);
  const __m128i take3 = _mm_set1_epi32(nested ? k[3] - k[4] : k[3]);
  const __m128i one = _mm_set1_epi32(1), two = _mm_set1_epi32(2), three = _mm_set1_epi32(3);
  const int cur = 4 * int(line_ % 3), prev = 4 * int((line_ + 2) % 3), prev2 = 4 * int((line_ + 1) % 3);
  const int x0 = rtl ? (inkLeft + inkWidth) * rep - 1 : inkLeft * rep;
  constexpr int pitch = 12 * step;  // from one pixel's values to the next one's
  int32_t* at = errors_.data() + 24 + 12 * x0;

  // The current row's two previous values and the row above around the pixel
  // stay in registers.
  __m128i e1 = Load(at - pitch + cur), e2 = Load(at - 2 * pitch + cur);
  __m128i left = Load(at - pitch + prev), above = Load(at + prev);
  __m128i acc = _mm_setzero_si128();
  uint32_t anyBits = 0;
  auto store = [&](int x) {
    __m128i b = _mm_packs_epi32(acc, acc);
    b = _mm_packus_epi16(b, b);
    const uint32_t w = uint32_t(_mm_cvtsi128_si32(b));
    const size_t byte = size_t(x >> byteShift);
    line[byte] = uint8_t(w);
    line[planeStride + byte] = uint8_t(w >> 8);
    line[2 * planeStride + byte] = uint8_t(w >> 16);
    line[3 * planeStride + byte] = uint8_t(w >> 24);
    anyBits |= w;
    acc = _mm_setzero_si128();
  };
  // The quantities of one output pixel that do not depend on its ink: the
  // neighbours' errors, the threshold and the noise quarter of this step.
  __m128i t{}, quarter{};
  auto begin = [&](__m128i v16) {
    const __m128i right = Load(at + pitch + prev);
    const __m128i rest = _mm_add_epi32(_mm_add_epi32(_mm_add_epi32(above, above), _mm_add_epi32(left, right)),
                                       _mm_add_epi32(Load(at + prev2), e2));
    left = above;
    above = right;
    t = Load(threshold + s);
    quarter = Load(steps.quarter + s);
    s += 4;
    if (s >= NoiseSteps::kPeriod) s -= NoiseSteps::kPeriod;
    // (sum >> 3) + ink kept as int16, sum = 2 e1 + rest: the low 16 bits of
    // (sum << 13) + (ink << 16), shifted down; only e1 << 14 waits for the
    // pixel before.
    const __m128i early = _mm_add_epi32(_mm_slli_epi32(rest, 13), v16);
    return _mm_srai_epi32(_mm_add_epi32(_mm_slli_epi32(e1, 14), early), 16);
  };
  // Keeps E and puts the pixel's level into its byte.
  int x = x0;
  auto end = [&](__m128i E, __m128i level) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + cur), E);
    e2 = e1;
    e1 = E;
    // Pixels enter the byte from the side the line is walked from; a byte is
    // written when its last pixel is in.
    if constexpr (rtl) {
      acc = _mm_or_si128(_mm_srli_epi32(acc, bits), _mm_slli_epi32(level, 8 - bits));
      if ((x & pixelMask) == 0) store(x);
    } else {
      acc = _mm_or_si128(_mm_slli_epi32(acc, bits), level);
      if ((x & pixelMask) == pixelMask) store(x);
    }
    x += step;
    at += pitch;
  };

  const PixelInk* px = inks_.data() + (rtl ? inkWidth - 1 : 0);
  const __m128i zero = _mm_setzero_si128();
  auto blank = [&](const PixelInk* p) { return _mm_movemask_epi8(_mm_cmpeq_epi32(Load(p->v), zero)) == 0xFFFF; };
  const __m128i whiteLb = _mm_set1_epi32(builtin::kLowerBound[0]);
  for (int i = 0; i < inkWidth;) {
    // A run of source pixels with ink, or of pixels without (the white between
    // the glyphs of a text page, where only the white step and its leak remain).
    const bool white = blank(px);
    int n = 1;
    while (i + n < inkWidth && blank(px + n * step) == white) ++n;
    i += n;
    if (white) {
      for (int m = n * rep; m > 0; --m) {
        __m128i E = begin(zero);
        E = Choose(_mm_cmplt_epi32(E, whiteLb), _mm_add_epi32(whiteLb, quarter), E);
        const __m128i leak = _mm_and_si128(_mm_cmpgt_epi32(E, _mm_add_epi32(t, k6)), leakValue);
        end(_mm_sub_epi32(_mm_add_epi32(E, one), leak), zero);
      }
      px += n * step;
      continue;
    }
    for (; n > 0; --n, px += step) {
      // Per source pixel: the ink (shifted for the 16-bit wrap), its lower
      // bound, and what a level takes, or for a lane without ink the white
      // step's +1 and its leak.
      const __m128i v = Load(px->v);
      const __m128i v16 = _mm_slli_epi32(v, 16), lb = Load(px->lb);
      const __m128i inked = _mm_cmpgt_epi32(v, zero);
      const __m128i gain = _mm_andnot_si128(inked, one), leakWhite = _mm_andnot_si128(inked, leakValue);
      const __m128i t1 = _mm_and_si128(inked, take1), t2 = _mm_and_si128(inked, take2), t3 = _mm_and_si128(inked, take3);
      for (int r = 0; r < rep; ++r) {
        __m128i E = begin(v16);
        E = Choose(_mm_cmplt_epi32(E, lb), _mm_add_epi32(lb, quarter), E);
        const __m128i hit2 = _mm_cmpgt_epi32(E, _mm_add_epi32(t, k2));
        __m128i level, take;
        if constexpr (bits == 1) {
          level = _mm_and_si128(hit2, one);
          take = _mm_and_si128(hit2, t1);
        } else if constexpr (nested) {
          const __m128i hit1 = _mm_cmpgt_epi32(E, _mm_add_epi32(t, k1));
          const __m128i hit0 = _mm_cmpgt_epi32(E, _mm_add_epi32(t, k0));
          level = _mm_sub_epi32(zero, _mm_add_epi32(_mm_add_epi32(hit2, hit1), hit0));
          take = _mm_add_epi32(_mm_add_epi32(_mm_and_si128(hit2, t1), _mm_and_si128(hit1, t2)), _mm_and_si128(hit0, t3));
        } else {
          const __m128i hit1 = _mm_cmpgt_epi32(E, _mm_add_epi32(t, k1));
          const __m128i hit0 = _mm_cmpgt_epi32(E, _mm_add_epi32(t, k0));
          level = Choose(hit0, three, Choose(hit1, two, _mm_and_si128(hit2, one)));
          take = Choose(hit0, t3, Choose(hit1, t2, _mm_and_si128(hit2, t1)));
        }
        const __m128i leak = _mm_and_si128(_mm_cmpgt_epi32(E, _mm_add_epi32(t, k6)), leakWhite);
        // Inked lanes lose what their level takes, the others gain 1 and leak.
        // E stays within int16: at least the lowest lower bound less a noise
        // quarter less the largest take, and a white step always leaks at the top.
        end(_mm_sub_epi32(_mm_add_epi32(E, gain), _mm_add_epi32(take, leak)), _mm_and_si128(level, inked));
      }
    }
  }
  // A byte the ink ends within.
  const int last = x - step, part = last & pixelMask;
  if (rtl && part != 0) {
    acc = _mm_srl_epi32(acc, _mm_cvtsi32_si128(part * bits));
    store(last);
  } else if (!rtl && part != pixelMask) {
    acc = _mm_sll_epi32(acc, _mm_cvtsi32_si128((pixelMask - part) * bits));
    store(last);
  }
  p_ = s & 1023;
  q_ = steps.spread[s];
  return anyBits != 0;
}
#endif

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
