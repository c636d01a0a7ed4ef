// Writes the QVX sample document: four A4 pages that exercise what a colour
// inkjet driver must get right (a photo-like picture, colour ramps, text and
// line art). Deterministic: the same program always writes the same pages.
//
// usage: qvx_sampledoc OUT.pdf
#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

constexpr double kPageW = 595.276;  // A4 in points
constexpr double kPageH = 841.890;
constexpr double kMargin = 42.0;
constexpr double kPi = 3.14159265358979323846;

void Heading(cairo_t* cr, const char* title, const char* note) {
  cairo_set_source_rgb(cr, 0.1, 0.1, 0.15);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 22);
  cairo_move_to(cr, kMargin, kMargin + 20);
  cairo_show_text(cr, title);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 9);
  cairo_move_to(cr, kMargin, kMargin + 36);
  cairo_show_text(cr, note);
  cairo_set_line_width(cr, 0.8);
  cairo_move_to(cr, kMargin, kMargin + 44);
  cairo_line_to(cr, kPageW - kMargin, kMargin + 44);
  cairo_stroke(cr);
}

void Footer(cairo_t* cr, int page) {
  char text[64];
  std::snprintf(text, sizeof text, "QVX sample document - page %d of 4", page);
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 8);
  cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
  cairo_move_to(cr, kMargin, kPageH - kMargin / 2);
  cairo_show_text(cr, text);
}

// A smooth, colourful scene with soft-edged objects, fine texture and
// integer-hash grain, so that neighbouring pixels almost never repeat, as in
// a real photograph.
cairo_surface_t* PhotoLikePicture(int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  struct Blob { double cx, cy, r, cr, cg, cb; };
  const Blob blobs[] = {{0.28, 0.30, 0.20, 0.92, 0.25, 0.12}, {0.70, 0.42, 0.24, 0.15, 0.62, 0.25},
                        {0.45, 0.78, 0.26, 0.20, 0.25, 0.80}, {0.85, 0.85, 0.10, 0.08, 0.08, 0.08},
                        {0.12, 0.82, 0.09, 0.98, 0.90, 0.30}};
  for (int yi = 0; yi < h; ++yi) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(yi) * stride);
    const double y = static_cast<double>(yi) / h;
    for (int xi = 0; xi < w; ++xi) {
      const double x = static_cast<double>(xi) / w;
      // Sky to ground: a warm horizon between a blue top and a green base.
      double r = 0.45 + 0.40 * y + 0.10 * std::sin(2 * kPi * (0.8 * x + 0.3 * y));
      double g = 0.60 + 0.15 * std::sin(2 * kPi * (1.3 * y - 0.4 * x) + 1.0);
      double b = 0.90 - 0.55 * y + 0.08 * std::cos(2 * kPi * (0.5 * x * y + 0.7 * x));
      for (const Blob& o : blobs) {
        const double d2 = ((x - o.cx) * (x - o.cx) + (y - o.cy) * (y - o.cy) * h * h / (double(w) * w)) / (o.r * o.r);
        const double a = std::clamp(1.4 - d2, 0.0, 1.0);
        const double shade = 1.0 - 0.35 * std::clamp(d2, 0.0, 1.0);  // rounded look
        r = r * (1 - a) + o.cr * shade * a;
        g = g * (1 - a) + o.cg * shade * a;
        b = b * (1 - a) + o.cb * shade * a;
      }
      const double texture = 0.035 * std::sin(2 * kPi * 90 * x) * std::sin(2 * kPi * 120 * y);
      uint32_t hash = static_cast<uint32_t>(xi) * 73856093u ^ static_cast<uint32_t>(yi) * 19349663u;
      hash = (hash ^ (hash >> 13)) * 1274126177u;
      hash ^= hash >> 16;
      auto channel = [&](double v, int shift) {
        const double noise = ((hash >> shift) & 15) - 7.5;
        return static_cast<uint32_t>(std::clamp(std::lround((v + texture) * 255.0 + noise * 0.8), 0L, 255L));
      };
      row[xi] = channel(r, 0) << 16 | channel(g, 5) << 8 | channel(b, 10);
    }
  }
  cairo_surface_mark_dirty(s);
  return s;
}

void PhotoPage(cairo_t* cr) {
  Heading(cr, "Photograph", "A photo-like picture: smooth colour fields, soft edges, fine grain and deep shadows.");
  cairo_surface_t* picture = PhotoLikePicture(1200, 900);
  const double w = kPageW - 2 * kMargin;
  const double h = w * 900.0 / 1200.0;
  cairo_save(cr);
  cairo_translate(cr, kMargin, kMargin + 60);
  cairo_scale(cr, w / 1200.0, h / 900.0);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_paint(cr);
  cairo_restore(cr);

  // A second, smaller print of the same picture in greys, as a monochrome check.
  cairo_save(cr);
  cairo_translate(cr, kMargin, kMargin + 80 + h);
  cairo_scale(cr, (w / 2) / 1200.0, (h / 2) / 900.0);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  cairo_set_operator(cr, CAIRO_OPERATOR_HSL_SATURATION);
  cairo_rectangle(cr, 0, 0, 1200, 900);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(picture);

  cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
  cairo_select_font_face(cr, "DejaVu Serif", CAIRO_FONT_SLANT_ITALIC, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 10);
  cairo_move_to(cr, kMargin + w / 2 + 14, kMargin + 100 + h);
  cairo_show_text(cr, "Left: the same picture without colour.");
  cairo_move_to(cr, kMargin + w / 2 + 14, kMargin + 116 + h);
  cairo_show_text(cr, "Skin, sky and foliage tones should stay");
  cairo_move_to(cr, kMargin + w / 2 + 14, kMargin + 130 + h);
  cairo_show_text(cr, "smooth, without bands or speckles.");
  Footer(cr, 1);
}

void Ramp(cairo_t* cr, double x, double y, double w, double h, double r, double g, double b, bool fromWhite) {
  cairo_pattern_t* p = cairo_pattern_create_linear(x, 0, x + w, 0);
  if (fromWhite) {
    cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 1);
  } else {
    cairo_pattern_add_color_stop_rgb(p, 0, 0, 0, 0);
  }
  cairo_pattern_add_color_stop_rgb(p, 1, r, g, b);
  cairo_set_source(cr, p);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
}

void HsvToRgb(double hue, double s, double v, double* r, double* g, double* b) {
  const double c = v * s, hp = hue * 6, x = c * (1 - std::fabs(std::fmod(hp, 2) - 1)), m = v - c;
  double rr = 0, gg = 0, bb = 0;
  switch (static_cast<int>(hp) % 6) {
    case 0: rr = c; gg = x; break;
    case 1: rr = x; gg = c; break;
    case 2: gg = c; bb = x; break;
    case 3: gg = x; bb = c; break;
    case 4: rr = x; bb = c; break;
    default: rr = c; bb = x; break;
  }
  *r = rr + m; *g = gg + m; *b = bb + m;
}

void RampsPage(cairo_t* cr) {
  Heading(cr, "Colour ramps", "Smooth ramps from white and from black, a hue circle at full saturation and stepped patches.");
  const double x = kMargin, w = kPageW - 2 * kMargin;
  double y = kMargin + 62;
  struct { double r, g, b; const char* name; } inks[] = {
      {0, 1, 1, "cyan"}, {1, 0, 1, "magenta"}, {1, 1, 0, "yellow"}, {0, 0, 0, "black"},
      {1, 0, 0, "red"},  {0, 0.6, 0, "green"}, {0, 0, 1, "blue"}};
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, 8);
  for (const auto& ink : inks) {
    Ramp(cr, x + 50, y, w - 50, 26, ink.r, ink.g, ink.b, true);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_move_to(cr, x, y + 16);
    cairo_show_text(cr, ink.name);
    y += 32;
  }
  // From black to the brightest primaries and white: the dark end of the ramps.
  for (const auto& ink : {inks[0], inks[4], inks[6]}) {
    Ramp(cr, x + 50, y, w - 50, 18, ink.r, ink.g, ink.b, false);
    y += 22;
  }
  Ramp(cr, x + 50, y, w - 50, 18, 1, 1, 1, false);
  y += 34;

  // Hue circle: 180 wedges, saturation falling towards the centre.
  const double cx = x + 130, cy = y + 120, radius = 115;
  for (int i = 0; i < 180; ++i) {
    const double a0 = 2 * kPi * i / 180, a1 = 2 * kPi * (i + 1.2) / 180;
    double r, g, b;
    HsvToRgb(i / 180.0, 1, 1, &r, &g, &b);
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius);
    cairo_pattern_add_color_stop_rgb(p, 0, 1, 1, 1);
    cairo_pattern_add_color_stop_rgb(p, 1, r, g, b);
    cairo_set_source(cr, p);
    cairo_move_to(cr, cx, cy);
    cairo_arc(cr, cx, cy, radius, a0, a1);
    cairo_close_path(cr);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }

  // Stepped patches: 8 hues x 6 lightness steps.
  const double px = x + 280, pw = (w - 280) / 8, ph = 38;
  for (int row = 0; row < 6; ++row) {
    for (int col = 0; col < 8; ++col) {
      double r, g, b;
      HsvToRgb(col / 8.0, 1.0 - row * 0.12, 1.0 - row * 0.15, &r, &g, &b);
      cairo_set_source_rgb(cr, r, g, b);
      cairo_rectangle(cr, px + col * pw, y + row * ph, pw - 2, ph - 2);
      cairo_fill(cr);
    }
  }
  y += 6 * ph + 20;
  // Grey steps: 0 % to 100 % in 10 % steps.
  for (int i = 0; i <= 10; ++i) {
    const double v = 1.0 - i / 10.0;
    cairo_set_source_rgb(cr, v, v, v);
    cairo_rectangle(cr, x + i * (w / 11), y, w / 11 - 2, 40);
    cairo_fill(cr);
  }
  Footer(cr, 2);
}

void Paragraph(cairo_t* cr, double x, double* y, double maxWidth, const char* text, double size) {
  cairo_set_font_size(cr, size);
  char line[512] = {};
  const char* p = text;
  while (*p) {
    const char* space = std::strchr(p, ' ');
    const size_t len = space ? static_cast<size_t>(space - p) : std::strlen(p);
    char candidate[512];
    std::snprintf(candidate, sizeof candidate, "%s%s%.*s", line, line[0] ? " " : "", static_cast<int>(len), p);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, candidate, &ext);
    if (ext.x_advance > maxWidth && line[0]) {
      cairo_move_to(cr, x, *y);
      cairo_show_text(cr, line);
      *y += size * 1.35;
      std::snprintf(line, sizeof line, "%.*s", static_cast<int>(len), p);
    } else {
      std::memcpy(line, candidate, sizeof line);
    }
    p += len;
    while (*p == ' ') ++p;
  }
  if (line[0]) {
    cairo_move_to(cr, x, *y);
    cairo_show_text(cr, line);
    *y += size * 1.35;
  }
  *y += size * 0.6;
}

void TextPage(cairo_t* cr) {
  Heading(cr, "Text", "Body text from 6 to 18 points in serif, sans-serif and monospaced faces, black and in colour.");
  const char* body =
      "A printer driver turns what an application draws into dots of ink. Text is the hardest test "
      "of that path: thin strokes, small counters and sharp corners show at once whether the "
      "resolution, the halftoning and the colour conversion work together. Black text should print "
      "with black ink alone, without coloured fringes, and stay crisp down to the smallest size.";
  const double x = kMargin, w = kPageW - 2 * kMargin;
  double y = kMargin + 70;
  const struct { const char* face; cairo_font_slant_t slant; double size; double r, g, b; } styles[] = {
      {"DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, 18, 0, 0, 0},
      {"DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, 12, 0, 0, 0},
      {"DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, 10, 0, 0, 0},
      {"DejaVu Sans", CAIRO_FONT_SLANT_ITALIC, 9, 0.1, 0.2, 0.6},
      {"DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, 8, 0, 0, 0},
      {"DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, 7, 0.7, 0.1, 0.1},
      {"DejaVu Serif", CAIRO_FONT_SLANT_NORMAL, 6, 0, 0, 0},
  };
  for (const auto& s : styles) {
    cairo_select_font_face(cr, s.face, s.slant, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, s.r, s.g, s.b);
    Paragraph(cr, x, &y, w, body, s.size);
  }
  // White text on dark and coloured grounds.
  const double boxes[][3] = {{0, 0, 0}, {0.0, 0.35, 0.7}, {0.75, 0.1, 0.1}};
  for (int i = 0; i < 3; ++i) {
    cairo_set_source_rgb(cr, boxes[i][0], boxes[i][1], boxes[i][2]);
    cairo_rectangle(cr, x + i * (w / 3), y, w / 3 - 6, 40);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 14);
    cairo_move_to(cr, x + i * (w / 3) + 10, y + 26);
    cairo_show_text(cr, i == 0 ? "Reversed text" : i == 1 ? "On blue" : "On red");
  }
  Footer(cr, 3);
}

void LineArtPage(cairo_t* cr) {
  Heading(cr, "Line art", "Hairlines to 4 pt, a star of fine rays, concentric circles, curves, dashes and a fine grid.");
  const double x = kMargin, w = kPageW - 2 * kMargin;
  double y = kMargin + 64;
  cairo_set_source_rgb(cr, 0, 0, 0);
  const double widths[] = {0.1, 0.25, 0.5, 0.75, 1, 1.5, 2, 3, 4};
  for (double lw : widths) {
    cairo_set_line_width(cr, lw);
    cairo_move_to(cr, x, y);
    cairo_line_to(cr, x + w, y);
    cairo_stroke(cr);
    y += 10;
  }
  y += 10;
  // Star of 180 rays: aliasing shows as moire near the centre.
  const double sx = x + 120, sy = y + 120, sr = 115;
  cairo_set_line_width(cr, 0.3);
  for (int i = 0; i < 180; ++i) {
    const double a = 2 * kPi * i / 180;
    cairo_move_to(cr, sx, sy);
    cairo_line_to(cr, sx + sr * std::cos(a), sy + sr * std::sin(a));
  }
  cairo_stroke(cr);
  // Concentric circles in the primaries.
  const double colours[][3] = {{0, 0.6, 0.9}, {0.9, 0, 0.5}, {0.95, 0.85, 0}, {0, 0, 0}};
  for (int i = 1; i <= 24; ++i) {
    const double* c = colours[i % 4];
    cairo_set_source_rgb(cr, c[0], c[1], c[2]);
    cairo_set_line_width(cr, 0.5 + (i % 3) * 0.5);
    cairo_arc(cr, x + w - 120, sy, i * 4.6, 0, 2 * kPi);
    cairo_stroke(cr);
  }
  y += 250;
  // Curves and dashes.
  cairo_set_source_rgb(cr, 0.1, 0.3, 0.7);
  cairo_set_line_width(cr, 1.5);
  for (int i = 0; i < 6; ++i) {
    cairo_move_to(cr, x, y + i * 12);
    cairo_curve_to(cr, x + w * 0.3, y - 40 + i * 20, x + w * 0.6, y + 80 - i * 10, x + w, y + i * 12);
  }
  cairo_stroke(cr);
  y += 110;
  const double dashes[] = {6, 3, 1, 3};
  cairo_set_dash(cr, dashes, 4, 0);
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  for (int i = 0; i < 4; ++i) {
    cairo_move_to(cr, x, y + i * 8);
    cairo_line_to(cr, x + w, y + i * 8);
  }
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
  y += 44;
  // A 2 mm grid with every fifth line heavier, as on graph paper.
  const double step = 72.0 / 25.4 * 2;
  const double gh = kPageH - kMargin - 20 - y;
  for (int i = 0; x + i * step <= x + w; ++i) {
    cairo_set_line_width(cr, i % 5 ? 0.2 : 0.6);
    cairo_set_source_rgb(cr, 0.0, 0.45, 0.35);
    cairo_move_to(cr, x + i * step, y);
    cairo_line_to(cr, x + i * step, y + gh);
    cairo_stroke(cr);
  }
  for (int i = 0; i * step <= gh; ++i) {
    cairo_set_line_width(cr, i % 5 ? 0.2 : 0.6);
    cairo_move_to(cr, x, y + i * step);
    cairo_line_to(cr, x + w, y + i * step);
    cairo_stroke(cr);
  }
  Footer(cr, 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qvx_sampledoc OUT.pdf\n");
    return 2;
  }
  cairo_surface_t* pdf = cairo_pdf_surface_create(argv[1], kPageW, kPageH);
  cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_TITLE, "QVX sample document");
  cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATOR, "qvx_sampledoc");
  // A fixed date keeps the file identical from build to build.
  cairo_pdf_surface_set_metadata(pdf, CAIRO_PDF_METADATA_CREATE_DATE, "2026-01-01T00:00:00Z");
  cairo_t* cr = cairo_create(pdf);
  void (*pages[])(cairo_t*) = {PhotoPage, RampsPage, TextPage, LineArtPage};
  for (auto page : pages) {
    cairo_save(cr);
    page(cr);
    cairo_restore(cr);
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_finish(pdf);
  const cairo_status_t status = cairo_surface_status(pdf);
  cairo_surface_destroy(pdf);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "qvx_sampledoc: %s: %s\n", argv[1], cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
