#include "enhance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace qvx::raster {
namespace {

constexpr double kGamma = 2.2;
constexpr double kWhite[3] = {0.95046, 1.0, 1.08906};
constexpr double kToXyz[3][3] = {{0.41239, 0.35758, 0.18048}, {0.21264, 0.71517, 0.07219}, {0.01933, 0.11919, 0.95053}};
constexpr double kToRgb[3][3] = {{3.241, -1.5374, -0.4986}, {-0.9692, 1.876, 0.0416}, {0.0556, -0.204, 1.057}};

double LabF(double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0; }
double LabFInverse(double f) {
  const double t = f * f * f;
  return t > 0.008856 ? t : (f - 16.0 / 116.0) / 7.787;
}

// Chroma of a pixel changed by p percent, at most q, hue and lightness kept.
void ChangeChroma(uint8_t* px, int percent, int cap) {
  double lin[3], xyz[3] = {0, 0, 0};
  for (int c = 0; c < 3; ++c) lin[c] = std::pow(px[c] / 255.0, kGamma);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) xyz[r] += kToXyz[r][c] * lin[c];
  const double fx = LabF(xyz[0] / kWhite[0]), fy = LabF(xyz[1] / kWhite[1]), fz = LabF(xyz[2] / kWhite[2]);
  const double L = 116 * fy - 16, a = 500 * (fx - fy), b = 200 * (fy - fz);
  const double chroma = std::sqrt(a * a + b * b);
  if (chroma <= 0) return;
  double d = chroma * percent / 100.0;
  d = d >= 0 ? std::min<double>(d, cap) : std::max<double>(d, cap);
  const double scale = (chroma + d) / chroma;
  const double a2 = a * scale, b2 = b * scale;
  const double gy = (L + 16) / 116, gx = gy + a2 / 500, gz = gy - b2 / 200;
  const double back[3] = {LabFInverse(gx) * kWhite[0], LabFInverse(gy) * kWhite[1], LabFInverse(gz) * kWhite[2]};
  for (int r = 0; r < 3; ++r) {
    double v = 0;
    for (int c = 0; c < 3; ++c) v += kToRgb[r][c] * back[c];
    v = std::pow(std::max(v, 0.0), 1 / kGamma) * 255 + 0.5;
    px[r] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
  }
}

}  // namespace

EnhanceParams MakeEnhanceParams(const RasterSettings& s, uint16_t code) {
  EnhanceParams p;
  const int16_t* ca = s.colorAdjustments;  // offsets 444, 446, ... 460
  p.level = 128 + ca[3];
  p.levelShift = ca[4];
  p.colour = s.dmColor != 1;
  const int a = ca[0];
  const unsigned pc = code & 0xF00;
  const int r = (pc == 0x300 || pc == 0x500 || pc == 0x600 || pc == 0x700) ? 600 : 300;
  int centre = 0, w = 0;
  switch (a) {
    case -2: centre = 3600 / r + 24, w = 24; break;
    case -1: centre = 3600 / r + 24, w = 44; break;
    case 0: centre = 3600 / r + 24, w = 64; break;
    case 1: centre = 3600 / r + 20, w = 84; break;
    case 2: centre = 3600 / r + 16, w = 104; break;
    default: break;
  }
  if (a >= -2 && a <= 2) {
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 5; ++x) {
        const bool outer = x == 0 || x == 4 || y == 0 || y == 4, middle = x == 2 && y == 2;
        const int smooth = outer ? 1 : middle ? 4 : 2;
        const int sharp = outer ? -1 : middle ? std::max(centre, 0) : 0;
        p.kernel[y * 5 + x] = smooth * (128 - w) + sharp * w;
      }
  } else {
    p.kernel[12] = 128;
  }
  static constexpr int kChroma[5][2] = {{-40, -6}, {-20, -3}, {20, 3}, {40, 6}, {60, 9}};
  if (ca[1] >= -2 && ca[1] <= 2) p.chromaPercent = kChroma[ca[1] + 2][0], p.chromaCap = kChroma[ca[1] + 2][1];
  if (ca[2] >= -2 && ca[2] <= 2) p.redWhiteShift = 10 * ca[2];
  if (p.colour)
    for (int c = 0; c < 3; ++c) p.offsets[c] = ca[6 + c];
  return p;
}

std::array<ToneTable, 3> ToneTables(const EnhanceParams& p, const std::array<uint64_t, 256>& h) {
  std::array<ToneTable, 3> tables;
  for (auto& t : tables)
    for (int v = 0; v < 256; ++v) t[v] = uint8_t(v);
  uint64_t n = 0;
  double weighted = 0;
  for (int v = 0; v < 256; ++v) n += h[v], weighted += double(v) * h[v];
  if (n == 0) return tables;

  int64_t budget = int64_t(n * 2 / 100), step = budget / 24, sum = 0;
  int darkPoint = 255;
  for (int v = 0; v <= 254; ++v) {
    sum += int64_t(h[v]), budget -= step;
    if (sum > budget) {
      darkPoint = v;
      break;
    }
  }
  budget = int64_t(n / 100), step = budget / (256 - 236), sum = 0;
  int lightPoint = 0;
  for (int v = 255; v >= 1; --v) {
    sum += int64_t(h[v]), budget -= step;
    if (sum > budget) {
      lightPoint = v;
      break;
    }
  }
  const int dark = std::min(darkPoint, 24), light = std::max(lightPoint, 236);
  const float L = float(p.level);
  const int W = std::max(std::min(light - p.levelShift, 255), int(L));
  const int B = std::min(std::max(dark + p.levelShift, 0), int(L));
  const float D = float(W - B);
  if (D <= 0) return tables;
  float M = (float(weighted / double(n)) - B) * 255.0f / D;
  float C = (M - 120) / 25 + 120;
  if (C > W) C = float(W);
  M = std::min(M, C);
  float U = 112 - (112 - M) / 25;
  if (U < B) U = float(B);
  M = std::max(M, U);

  float gain[3] = {1, 1, 1};
  if (p.colour) {
    const float white[3] = {float(255 - p.redWhiteShift), 255, 255};
    float s[3], E = 0;
    for (int c = 0; c < 3; ++c) s[c] = white[c] - float(p.offsets[c]), E = std::max(E, s[c]);
    for (int c = 0; c < 3; ++c) gain[c] = s[c] > 0 ? E / s[c] : 1;
  }
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) {
      const float x = v * gain[c];
      float out;
      if (x <= B) {
        out = 0;
      } else if (x >= W) {
        out = 255;
      } else if (L >= M) {
        if (W == M) {
          out = (x - B) * 255 / D;  // flat top: straight line
        } else {
          const float O = (255 - L) / (W - M), t = (W - x) / D;
          out = 255 - O * (W - x) - t * t * t * (255 - D * O);
        }
      } else if (M == B) {
        out = (x - B) * 255 / D;
      } else {
        const float s = (x - B) / D;
        out = s * s * s * (255 - D * L / (M - B)) + L * (x - B) / (M - B);
      }
      tables[c][v] = uint8_t(std::clamp(out, 0.0f, 255.0f));
    }
  return tables;
}

void EnhanceBand(const RasterSettings& s, uint16_t code, uint8_t* rows, size_t bytesPerRow, int width,
                 int height, int inkLeft, int inkRight) {
  EnhanceParams p = MakeEnhanceParams(s, code);
  std::array<uint64_t, 256> histogram{};
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = rows + size_t(y) * bytesPerRow;
    for (int i = 0; i < 3 * width; ++i) ++histogram[row[i]];
  }
  const auto tables = ToneTables(p, histogram);
  const bool chroma = s.colorAdjustments[1] != 0 && p.colour;
  uint8_t lastIn[3] = {0, 0, 0}, lastOut[3] = {0, 0, 0};
  bool haveLast = false;
  for (int y = 0; y < height; ++y) {
    uint8_t* px = rows + size_t(y) * bytesPerRow;
    for (int x = 0; x < width; ++x, px += 3) {
      if (haveLast && std::memcmp(px, lastIn, 3) == 0) {
        std::memcpy(px, lastOut, 3);
        continue;
      }
      std::memcpy(lastIn, px, 3);
      const bool white = px[0] == 255 && px[1] == 255 && px[2] == 255;
      const bool black = px[0] == 0 && px[1] == 0 && px[2] == 0;
      if (chroma && !white && !black) ChangeChroma(px, p.chromaPercent, p.chromaCap);
      for (int c = 0; c < 3; ++c) px[c] = tables[c][px[c]];
      std::memcpy(lastOut, px, 3);
      haveLast = true;
    }
  }
  if (s.colorAdjust == 0 || inkRight - inkLeft < 5 || height < 5) return;
  int weightSum = 0;
  for (int k : p.kernel) weightSum += k;
  // Five-row ring of the mapped rows; samples whose window leaves the ink
  // area keep their mapped value.
  const size_t rowBytes = size_t(width) * 3;
  std::vector<uint8_t> ring(5 * rowBytes);
  for (int y = 0; y < std::min(height, 5); ++y) std::memcpy(&ring[y * rowBytes], rows + size_t(y) * bytesPerRow, rowBytes);
  for (int y = 2; y + 2 < height; ++y) {
    if (y + 2 >= 5) std::memcpy(&ring[((y + 2) % 5) * rowBytes], rows + size_t(y + 2) * bytesPerRow, rowBytes);
    uint8_t* out = rows + size_t(y) * bytesPerRow;
    for (int x = inkLeft + 2; x + 2 < inkRight; ++x)
      for (int c = 0; c < 3; ++c) {
        int acc = 0;
        for (int dy = -2; dy <= 2; ++dy) {
          const uint8_t* r = &ring[((y + dy) % 5) * rowBytes];
          for (int dx = -2; dx <= 2; ++dx) acc += p.kernel[(dy + 2) * 5 + dx + 2] * r[3 * (x + dx) + c];
        }
        out[3 * x + c] = uint8_t(std::clamp(weightSum ? acc / weightSum : 0, 0, 255));
      }
  }
}

}  // namespace qvx::raster
