// PNG and JPEG pictures as one-page documents. The picture is decoded once into
// a cairo image (alpha composited onto white paper) and drawn scaled per band.
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <png.h>

#include "document.h"

namespace qvx::print {
namespace {

// A decoded picture above this many pixels is refused rather than risking
// gigabytes of memory on a hostile or mistaken file.
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

struct SurfaceDestroy {
  void operator()(cairo_surface_t* s) const { if (s) cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDestroy>;

SurfacePtr NewSurface(const std::string& path, uint64_t width, uint64_t height) {
  if (width == 0 || height == 0 || width > 65535 || height > 65535 || width * height > kMaxPixels) {
    throw InputError(InputError::Kind::Unsupported,
                     path + ": picture of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels is outside the supported size");
  }
  SurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width),
                                                static_cast<int>(height)));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(path + ": out of memory for the picture");
  }
  return surface;
}

inline uint32_t Pixel(unsigned r, unsigned g, unsigned b) { return 0xFF000000u | r << 16 | g << 8 | b; }

// Composites straight (non-premultiplied) alpha onto white.
inline unsigned OnWhite(unsigned c, unsigned a) { return (c * a + 255 * (255 - a) + 127) / 255; }

SurfacePtr DecodePng(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    const std::string why = image.message;
    png_image_free(&image);
    throw InputError(InputError::Kind::Unreadable, path + ": not a readable PNG picture: " + why);
  }
  image.format = PNG_FORMAT_RGBA;
  SurfacePtr surface;
  try {
    surface = NewSurface(path, image.width, image.height);
  } catch (...) {
    png_image_free(&image);
    throw;
  }
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  // RGBA and the cairo pixel are both 4 bytes, so the picture is decoded in
  // place and then each pixel rewritten.
  if (!png_image_finish_read(&image, nullptr, data, stride, nullptr)) {
    throw InputError(InputError::Kind::Unreadable, path + ": damaged PNG picture: " + image.message);
  }
  for (uint32_t y = 0; y < image.height; ++y) {
    unsigned char* row = data + static_cast<size_t>(y) * stride;
    for (uint32_t x = 0; x < image.width; ++x) {
      unsigned char* p = row + 4 * x;
      const unsigned a = p[3];
      const uint32_t v = Pixel(OnWhite(p[0], a), OnWhite(p[1], a), OnWhite(p[2], a));
      std::memcpy(p, &v, 4);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void JpegNoMessage(j_common_ptr) {}

struct JpegOutcome {
  cairo_surface_t* surface = nullptr;
  uint64_t width = 0, height = 0;  // set when the size was refused
  char message[JMSG_LENGTH_MAX] = {};
};

// Plain C style on purpose: libjpeg reports errors by longjmp, so nothing in
// this frame may need a destructor.
void DecodeJpegInto(FILE* file, JpegOutcome* out) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  unsigned char* row = nullptr;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.output_message = JpegNoMessage;
  if (setjmp(err.jump)) {
    std::snprintf(out->message, sizeof out->message, "%s", err.message);
    jpeg_destroy_decompress(&cinfo);
    std::free(row);
    if (out->surface) cairo_surface_destroy(out->surface);
    out->surface = nullptr;
    return;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool inverted = cmyk && cinfo.saw_Adobe_marker;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > 65535 ||
      cinfo.image_height > 65535 ||
      static_cast<uint64_t>(cinfo.image_width) * cinfo.image_height > kMaxPixels) {
    out->width = cinfo.image_width;
    out->height = cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return;
  }
  jpeg_start_decompress(&cinfo);
  out->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(cinfo.output_width),
                                            static_cast<int>(cinfo.output_height));
  row = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(cinfo.output_width) *
                                                static_cast<size_t>(cinfo.output_components)));
  if (cairo_surface_status(out->surface) != CAIRO_STATUS_SUCCESS || !row) {
    std::snprintf(out->message, sizeof out->message, "out of memory for the picture");
    cairo_surface_destroy(out->surface);
    out->surface = nullptr;
    std::free(row);
    jpeg_destroy_decompress(&cinfo);
    return;
  }
  cairo_surface_flush(out->surface);
  unsigned char* data = cairo_image_surface_get_data(out->surface);
  const int stride = cairo_image_surface_get_stride(out->surface);
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION y = cinfo.output_scanline;
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&cinfo, rows, 1);
    auto* dst = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (JDIMENSION x = 0; x < cinfo.output_width; ++x) {
      const unsigned char* p = row + x * cinfo.output_components;
      if (cmyk) {
        // Adobe writes CMYK inverted; either way a simple complement model is
        // enough to show what the picture holds.
        unsigned c = p[0], m = p[1], ye = p[2], k = p[3];
        if (!inverted) { c = 255 - c; m = 255 - m; ye = 255 - ye; k = 255 - k; }
        dst[x] = Pixel(c * k / 255, m * k / 255, ye * k / 255);
      } else {
        dst[x] = Pixel(p[0], p[1], p[2]);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::free(row);
  cairo_surface_mark_dirty(out->surface);
}

SurfacePtr DecodeJpeg(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    throw InputError(InputError::Kind::Unreadable, path + ": cannot open: " + std::strerror(errno));
  }
  JpegOutcome out;
  DecodeJpegInto(file.get(), &out);
  if (out.width || out.height) {
    NewSurface(path, out.width, out.height);  // throws with the size message
  }
  if (!out.surface) {
    throw InputError(InputError::Kind::Unreadable, path + ": damaged JPEG picture: " + out.message);
  }
  return SurfacePtr(out.surface);
}

class ImageDocument final : public Document {
 public:
  explicit ImageDocument(SurfacePtr surface) : surface_(std::move(surface)) {}

  int PageCount() const override { return 1; }

  // One pixel is one point; the page is scaled to the paper anyway.
  PageSizePt PageSize(int) override {
    return {static_cast<double>(cairo_image_surface_get_width(surface_.get())),
            static_cast<double>(cairo_image_surface_get_height(surface_.get()))};
  }

  void DrawPage(int, cairo_t* cr) override {
    cairo_save(cr);
    cairo_set_source_surface(cr, surface_.get(), 0, 0);
    // Bilinear keeps enlarged pictures smooth; pad avoids a pale seam at the edges.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    const PageSizePt size = PageSize(0);
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_fill(cr);
    cairo_restore(cr);
  }

 private:
  SurfacePtr surface_;
};

}  // namespace

std::unique_ptr<Document> OpenImage(const std::string& path, DocumentFormat format) {
  SurfacePtr surface = format == DocumentFormat::Png ? DecodePng(path) : DecodeJpeg(path);
  return std::make_unique<ImageDocument>(std::move(surface));
}

}  // namespace qvx::print
