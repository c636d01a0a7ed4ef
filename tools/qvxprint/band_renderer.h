// Renders a document page onto the paper at the job's resolution, a band of
// rows at a time, as packed 24-bit RGB (bytes R, G, B; white FF FF FF). Only
// one band is ever held, so a 600 dpi page costs a few megabytes, not a
// whole-page bitmap.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "document.h"

namespace qvx::print {

// How the page is fed: portrait, or a landscape page turned onto the paper.
enum class Turn { None, Quarter /* 90 degrees */, ThreeQuarters /* 270 degrees */ };

// Where one document page lands on the paper, in device pixels.
struct PageLayout {
  int width = 0;   // paper width in pixels, as fed
  int height = 0;  // paper height in pixels (rows)
  PageSizePt page;
  cairo_matrix_t toDevice{};  // document points to device pixels
};

// Fits the document page onto the paper (widthPx x heightPx), keeping its
// proportions and centring it; with a turn the page is laid out on the paper
// seen sideways and turned onto it.
PageLayout LayoutPage(PageSizePt page, int widthPx, int heightPx, Turn turn);

// Paper size in 0.1 mm to device pixels at `dpi`, rounded to nearest.
int TenthsMmToPixels(int tenthsMm, int dpi);

class BandRenderer {
 public:
  // Bands of at most maxRows rows of a page `width` pixels wide.
  BandRenderer(int width, int maxRows);
  ~BandRenderer();
  BandRenderer(const BandRenderer&) = delete;
  BandRenderer& operator=(const BandRenderer&) = delete;

  int maxRows() const { return maxRows_; }

  // Rows [firstRow, firstRow + rows) of the page; the result stays valid until
  // the next call. Throws InputError when the page cannot be drawn.
  const uint8_t* Render(Document& doc, int pageIndex, const PageLayout& layout, int firstRow, int rows);

 private:
  int width_;
  int maxRows_;
  cairo_surface_t* surface_ = nullptr;
  std::vector<uint8_t> rgb_;
};

// Rows per band so that one band's drawing surface stays near `budgetBytes`.
int BandRowsFor(int width, int pageHeight, size_t budgetBytes = 4u << 20);

}  // namespace qvx::print
