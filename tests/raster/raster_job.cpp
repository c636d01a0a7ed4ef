#include "raster_job.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qvx::raster::test {

Image PhotoLike(int w, int h) {
  Image im{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  const double kPi2 = 6.283185307179586;
  struct Blob {
    double cx, cy, r, col[3];
  };
  const Blob blobs[] = {{0.30, 0.25, 0.18, {0.9, 0.2, 0.1}},
                        {0.70, 0.45, 0.22, {0.1, 0.6, 0.2}},
                        {0.45, 0.75, 0.25, {0.2, 0.2, 0.8}},
                        {0.80, 0.85, 0.10, {0.1, 0.1, 0.1}}};
  for (int yi = 0; yi < h; ++yi) {
    const double y = double(yi) / h;
    for (int xi = 0; xi < w; ++xi) {
      const double x = double(xi) / w;
      double c[3] = {0.55 + 0.35 * std::sin(kPi2 * (0.8 * x + 0.3 * y)) * std::cos(kPi2 * 0.6 * y),
                     0.50 + 0.30 * std::sin(kPi2 * (1.3 * y - 0.4 * x) + 1.0),
                     0.45 + 0.40 * std::cos(kPi2 * (0.5 * x * y + 0.7 * x) + 2.0)};
      for (const Blob& b : blobs) {
        const double d2 = ((x - b.cx) * (x - b.cx) + (y - b.cy) * (y - b.cy) * h * h / (double(w) * w)) /
                          (b.r * b.r);
        const double a = std::clamp(1.5 - d2, 0.0, 1.0);
        for (int k = 0; k < 3; ++k) c[k] = c[k] * (1 - a) + b.col[k] * a;
      }
      const uint32_t n = Hash(xi, yi);
      uint8_t* p = im.Px(xi, yi);
      for (int k = 0; k < 3; ++k) {
        const double v = c[k] * 255.0 + ((double((n >> (5 * k)) & 15) - 7.5) * 0.8);
        p[k] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
      }
    }
  }
  return im;
}

Image SmoothFields(int w, int h) {
  Image im{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int fx = x * 256 / w, fy = y * 256 / h;
      int c[3] = {(fx + fy) / 2, 255 - fy, (fx * (255 - fy)) / 255};
      const int dx = fx - 150, dy = fy - 100, d2 = dx * dx + dy * dy;
      if (d2 < 60 * 60) c[0] = 230, c[1] = 40 + d2 / 40, c[2] = 30;  // a red disc
      if ((fx - 60) * (fx - 60) + (fy - 190) * (fy - 190) < 40 * 40) c[0] = c[1] = c[2] = 25;
      const uint32_t n = Hash(x, y);
      uint8_t* p = im.Px(x, y);
      for (int k = 0; k < 3; ++k) p[k] = uint8_t(std::clamp(c[k] + int((n >> (5 * k)) & 15) - 7, 0, 255));
    }
  return im;
}

Image TextLike(int w, int h) {
  Image im{w, h, std::vector<uint8_t>(size_t(w) * h * 3, 0xFF)};
  // Lines of "glyphs": short strokes 1-3 pixels wide, in a text block with margins.
  const int lineHeight = std::max(12, h / 60), glyph = std::max(6, lineHeight / 2);
  for (int top = h / 10; top + lineHeight < h * 9 / 10; top += lineHeight * 3 / 2) {
    for (int left = w / 10; left + glyph < w * 9 / 10; left += glyph + glyph / 3) {
      const uint32_t shape = Hash(left, top);
      if (shape % 9 == 0) continue;  // word gaps
      for (int s = 0; s < 4; ++s) {
        if (!((shape >> s) & 1)) continue;
        const bool vertical = s < 2;
        const int x0 = left + (s == 1 ? glyph - 2 : 0), y0 = top + (s == 3 ? lineHeight - 2 : 0);
        for (int t = 0; t < (vertical ? lineHeight : glyph); ++t)
          for (int k = 0; k < 2; ++k) {
            const int x = vertical ? x0 + k : x0 + t, y = vertical ? y0 + t : y0 + k;
            if (x < w && y < h) std::fill(im.Px(x, y), im.Px(x, y) + 3, uint8_t(20));
          }
      }
    }
  }
  return im;
}

Image Ramps(int w, int h) {
  Image im{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  static const uint8_t kEnds[7][3] = {{0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {0, 0, 0},
                                      {255, 0, 0},   {0, 255, 0},   {0, 0, 255}};
  for (int y = 0; y < h; ++y) {
    const uint8_t* end = kEnds[std::min(6, y * 7 / h)];
    for (int x = 0; x < w; ++x) {
      const int t = x * 255 / std::max(1, w - 1);
      uint8_t* p = im.Px(x, y);
      for (int k = 0; k < 3; ++k) p[k] = uint8_t(255 - (255 - end[k]) * t / 255);
    }
  }
  return im;
}

}  // namespace qvx::raster::test
