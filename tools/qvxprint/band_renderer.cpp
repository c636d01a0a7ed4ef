#include "band_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace qvx::print {

PageLayout LayoutPage(PageSizePt page, int widthPx, int heightPx, Turn turn) {
  PageLayout layout;
  layout.width = widthPx;
  layout.height = heightPx;
  layout.page = page;
  const bool sideways = turn != Turn::None;
  const double canvasW = sideways ? heightPx : widthPx;
  const double canvasH = sideways ? widthPx : heightPx;
  const double scale = (page.width > 0 && page.height > 0)
                           ? std::min(canvasW / page.width, canvasH / page.height)
                           : 1.0;
  const double offX = (canvasW - page.width * scale) / 2;
  const double offY = (canvasH - page.height * scale) / 2;

  cairo_matrix_t fit;
  cairo_matrix_init(&fit, scale, 0, 0, scale, offX, offY);
  cairo_matrix_t turnOnto;
  switch (turn) {
    case Turn::None: cairo_matrix_init_identity(&turnOnto); break;
    // Canvas (x, y) lands at paper (width - y, x): the page's top on the right.
    case Turn::Quarter: cairo_matrix_init(&turnOnto, 0, 1, -1, 0, widthPx, 0); break;
    // Canvas (x, y) lands at paper (y, height - x): the page's top on the left.
    case Turn::ThreeQuarters: cairo_matrix_init(&turnOnto, 0, -1, 1, 0, 0, heightPx); break;
  }
  cairo_matrix_multiply(&layout.toDevice, &fit, &turnOnto);
  return layout;
}

int TenthsMmToPixels(int tenthsMm, int dpi) {
  return static_cast<int>(std::lround(tenthsMm * static_cast<double>(dpi) / 254.0));
}

int BandRowsFor(int width, int pageHeight, size_t budgetBytes) {
  const size_t perRow = static_cast<size_t>(std::max(width, 1)) * 4;
  const int rows = static_cast<int>(std::clamp<size_t>(budgetBytes / perRow, 16, 4096));
  return std::max(1, std::min(rows, pageHeight));
}

BandRenderer::BandRenderer(int width, int maxRows) : width_(width), maxRows_(maxRows) {
  surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, maxRows);
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    throw std::bad_alloc();
  }
  rgb_.resize(static_cast<size_t>(width) * 3 * maxRows);
}

BandRenderer::~BandRenderer() {
  if (surface_) cairo_surface_destroy(surface_);
}

const uint8_t* BandRenderer::Render(Document& doc, int pageIndex, const PageLayout& layout,
                                    int firstRow, int rows) {
  rows = std::clamp(rows, 0, maxRows_);
  cairo_t* cr = cairo_create(surface_);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  // Only this band's rows are on the surface: shift the page up and clip to
  // the band, so the document's drawing outside it is culled.
  cairo_rectangle(cr, 0, 0, width_, rows);
  cairo_clip(cr);
  cairo_translate(cr, 0, -firstRow);
  cairo_transform(cr, &layout.toDevice);
  cairo_rectangle(cr, 0, 0, layout.page.width, layout.page.height);
  cairo_clip(cr);
  try {
    doc.DrawPage(pageIndex, cr);
  } catch (...) {
    cairo_destroy(cr);
    throw;
  }
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status != CAIRO_STATUS_SUCCESS) {
    throw InputError(InputError::Kind::Unreadable, "page " + std::to_string(pageIndex + 1) +
                                                       " cannot be drawn: " + cairo_status_to_string(status));
  }
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const int stride = cairo_image_surface_get_stride(surface_);
  uint8_t* out = rgb_.data();
  for (int y = 0; y < rows; ++y) {
    const unsigned char* row = data + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width_; ++x) {
      uint32_t px;
      std::memcpy(&px, row + 4 * x, 4);
      *out++ = static_cast<uint8_t>(px >> 16);
      *out++ = static_cast<uint8_t>(px >> 8);
      *out++ = static_cast<uint8_t>(px);
    }
  }
  return rgb_.data();
}

}  // namespace qvx::print
