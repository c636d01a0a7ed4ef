// Halftoning: ink values to dots by error diffusion (band family 2) or
// ordered dither (band family 1), one or two bits per pixel.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "colour.h"
#include "raster_settings.h"

namespace qvx::raster {

struct MethodRecord {
  bool ordered = false;    // family 1
  uint8_t bits = 1;        // 1 or 2 per pixel
  bool wide = false;       // two output lines per source row, threshold range 2..2046
  uint8_t replication = 1; // output pixels per source pixel
  int16_t k[8] = {};
};

// The method for a band: family 1 by (code AND 0xF0F), family 2 by its key.
MethodRecord SelectMethod(int family, uint16_t bandCode, uint16_t mediaType, int paperSize);
// Family-2 key of the method table.
unsigned DiffusionKey(uint16_t bandCode, uint16_t mediaType, int paperSize);

// One converted source pixel as the diffusion kernels read it: the four ink
// values and the lowest accumulated error each may keep.
struct PixelInk {
  int32_t v[4];
  int32_t lb[4];
};

class Halftoner {
 public:
  // Selects the method for output lines of outPixels pixels; resets the error
  // rows (family 2), the line count and the noise positions.
  void Select(const MethodRecord& method, int outPixels);
  const MethodRecord& Method() const { return method_; }
  int LinesPerRow() const { return method_.wide ? 2 : 1; }

  // Halftones rowCount rows (RGB, bytesPerRow apart) of which only source
  // pixels [inkLeft, inkLeft + inkWidth) are read. pageRow is the first row's
  // index on the printable page (ordered dither). Writes LinesPerRow() lines
  // per row at out, each four plane rows of planeStride bytes, fully rewritten.
  // Returns true when any dot was set.
  bool Rows(const ColourConverter& cv, const uint8_t* rows, size_t bytesPerRow, int rowCount,
            int pageRow, int inkLeft, int inkWidth, uint8_t* out, size_t planeStride);

  // Diffusion by the plain per-channel kernel only (the vector kernel must
  // give the same dots and leave the same state; the tests compare them).
  void UseReferenceKernel(bool on) { reference_ = on; }

 private:
  void ConvertRow(const ColourConverter& cv, const uint8_t* row, int inkLeft, int inkWidth);
  bool DiffuseLine(bool blackOnly, int inkLeft, int inkWidth, bool rightToLeft, uint8_t* line,
                   size_t planeStride);
  template <int bits, int firstChannel>
  bool Diffuse(int inkLeft, int inkWidth, bool rightToLeft, uint8_t* line, size_t planeStride);
  template <int bits, bool nested, bool rightToLeft>
  bool DiffuseVector(int inkLeft, int inkWidth, uint8_t* line, size_t planeStride, unsigned step);
  bool DitherLine(const ColourConverter& cv, const uint8_t* row, int pageRow, int inkLeft,
                  int inkWidth, uint8_t* line, size_t planeStride);

  MethodRecord method_;
  int outPixels_ = 0;
  // Accumulated errors: per output pixel (two of margin each side) three rows,
  // each four channels. Every value fits 16 bits; they are held in 32 for the
  // vector kernel.
  std::vector<int32_t> errors_;
  std::vector<PixelInk> inks_;      // the row being diffused, from its left ink edge
  std::vector<Inks> converted_;
  bool reference_ = false;
  unsigned line_ = 0;               // lines since the method was selected
  unsigned p_ = 0, q_ = 0;          // noise positions
};

}  // namespace qvx::raster
