#include "decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "compress.h"
#include "print_mode.h"

namespace qvx::decode {
namespace {

struct Reader {
  const uint8_t* data;
  size_t size, pos = 0;
  bool Has(size_t n) const { return size - pos >= n; }
};

int PassClassOf(uint8_t a, uint8_t b) {
  if (a == 2) return b == 0 ? 1 : b == 1 ? 2 : b == 2 ? 3 : 0;
  if (a == 3) return b == 3 ? 5 : b == 4 ? 6 : b == 6 ? 7 : 0;
  return 0;
}

void SetUpPage(Page& p) {
  p.passClass = PassClassOf(p.resolution[0], p.resolution[1]);
  p.monoOnly = p.inkMode == 0x00 || p.inkMode == 0x30;
  p.multibit = p.inkMode == 0x30 || p.inkMode == 0x31;
  p.wide = p.passClass >= 5;
  p.replication = p.passClass == 1 ? 4 : p.passClass == 3 ? 1 : 2;
  p.linesPerRow = p.passClass == 5 ? 2 : p.passClass == 6 ? 4 : p.passClass == 7 ? 10 : 1;
  p.subPasses = p.passClass == 6 ? 2 : p.passClass == 7 ? 5 : 1;
  p.sourceDpi = p.passClass == 1 ? 150 : p.passClass == 2 ? 300 : 600;
  p.modeRow = -1;
  for (size_t i = 0; i < enc::kPrintModeRows; ++i) {
    const enc::PrintModeRow& r = enc::kPrintModeTable[i];
    if (r.passClass == (p.passClass << 8) && r.p1 == p.modeParams[0] && r.p2 == p.modeParams[1]) {
      p.modeRow = int(i);
      break;
    }
  }
  if (p.modeRow < 0) return;
  const enc::PrintModeRow& r = enc::kPrintModeTable[p.modeRow];
  raster::ModeGeometry g;
  g.weave = r.weave, g.nozzles = r.nozzles, g.feed = r.feed, g.passes = r.passes;
  g.period = r.period, g.mediaKey = r.mediaKey;
  p.weave = raster::BuildWeave(g);
}

raster::RowCoding CodingOf(uint8_t m) {
  return m == 8 ? raster::RowCoding::ZeroRuns
                : m == 6 ? raster::RowCoding::WordRuns : raster::RowCoding::PackBits;
}

// Lays the rows of one swath onto the page. Returns an error text or null.
const char* LaySwath(Page& p, const uint8_t* payload, size_t n) {
  if (p.modeRow < 0) return "swath before a known print mode";
  if (p.rowBytes == 0) return "swath before the row length";
  const enc::PrintModeRow& row = enc::kPrintModeTable[p.modeRow];
  if (p.advanced % row.feed) return "paper position between raster lines";
  const long top = p.weave.SwathTop(long(p.advanced / row.feed));
  const int slotsPerRow = p.monoOnly ? 1 : 4;
  const int totalSlots = p.weave.nozzles * slotsPerRow;
  size_t i = 0;
  int slot = 0;
  while (i < n) {
    if (slot >= totalSlots) return "swath longer than the head";
    const int nozzle = slot / slotsPerRow;
    const int plane = p.monoOnly ? 3 : slot % 4;
    const long line = top + long(p.weave.pitch) * nozzle + (plane == 3 ? p.weave.stagger : 0);
    if (payload[i] == 'Z') {
      ++i, ++slot;
      continue;
    }
    if (payload[i] != 'G' || n - i < 3) return "row neither Z nor G";
    const uint16_t field = uint16_t(payload[i + 1] | payload[i + 2] << 8);
    const size_t length = p.compression == 8 ? (field & 0x7FFF) : field;
    if (n - i - 3 < length) return "row longer than its swath";
    auto rowBytes = raster::ExpandRow(CodingOf(p.compression), payload + i + 3, length, p.rowBytes);
    if (!rowBytes || rowBytes->size() != p.rowBytes) return "row does not expand to the row length";
    if (line < 0) return "inked row above the page";
    auto& rows = p.planes[plane];
    if (size_t(line) >= rows.size()) {
      for (auto& pl : p.planes) pl.resize(size_t(line) + 1);
      for (auto& pl : p.placed) pl.resize(size_t(line) + 1, 0);
    }
    std::vector<uint8_t>& dst = rows[size_t(line)];
    if (dst.empty()) dst.assign(p.rowBytes, 0);
    for (size_t b = 0; b < p.rowBytes; ++b) dst[b] |= (*rowBytes)[b];
    if (p.placed[plane][size_t(line)] < 255) ++p.placed[plane][size_t(line)];
    i += 3 + length;
    ++slot;
  }
  if (slot != totalSlots) return "swath shorter than the head";
  return nullptr;
}

}  // namespace

long Page::Lines() const { return long(planes[0].size()); }

double Page::Dot(int channel, long line, int x) const {
  if (line < 0 || line >= Lines()) return 0;
  const std::vector<uint8_t>& row = planes[channel][size_t(line)];
  if (row.empty()) return 0;
  if (!multibit) return (row[size_t(x) >> 3] >> (7 - (x & 7))) & 1;
  const int level = (row[size_t(x) >> 2] >> (6 - 2 * (x & 3))) & 3;
  // Drop sizes of the two-bit modes, in units of a full pixel of ink.
  static constexpr double kNormal[4] = {0, 302 / 1023.0, 422 / 1023.0, 1.0};
  static constexpr double kWide[4] = {0, 600 / 1023.0, 800 / 1023.0, 1536 / 1023.0};
  return (wide ? kWide : kNormal)[level];
}

double Page::MeanInk(int channel, int x0, int y0, int x1, int y1) const {
  double sum = 0;
  long count = 0;
  const int dots = DotsAcross();
  for (long line = long(y0) * linesPerRow; line < long(y1) * linesPerRow; ++line)
    for (int x = x0 * replication; x < std::min(x1 * replication, dots); ++x) {
      sum += Dot(channel, line, x);
      ++count;
    }
  // Sub-pass lines share one halftoned line's dots between them.
  return count ? sum * subPasses / double(count) : 0;
}

Stream DecodeStream(const uint8_t* data, size_t size) {
  Stream s;
  Reader r{data, size};
  Page* page = nullptr;
  auto fail = [&](size_t at, const char* why) {
    s.ok = false;
    s.errorOffset = at;
    s.error = why;
    return s;
  };
  auto newPage = [&]() -> Page* {
    s.pages.emplace_back();
    return &s.pages.back();
  };
  while (r.pos < size) {
    const size_t at = r.pos;
    const uint8_t c = data[r.pos++];
    auto need = [&](size_t n) { return r.Has(n); };
    const uint8_t* q = data + r.pos;
    switch (c) {
      case 0x00: break;  // padding around documents
      case 0x1B:
        if (need(1) && q[0] == 0x40) {
          r.pos += 1;
        } else if (need(4) && q[0] == 0x7C && q[1] == 0x01 && q[2] == 0x00 && q[3] == 0x09) {
          r.pos += 4;
          // The same sequence opens documents and pages; a page's goes on with U.
          if (!page && !(r.Has(1) && data[r.pos] == 'U')) ++s.documents;
        } else {
          return fail(at, "unknown escape sequence");
        }
        break;
      case 'U':
        if (!need(6) || q[0] != 'Q') return fail(at, "malformed U command");
        r.pos += 6;
        page = newPage();
        break;
      case 'V': break;
      case 'R': case 'N': case 'Y': case 'X': case 'w': case 'F': case 'r':
      case 'I': case 'M': case 'D': case 'T': case 'P': case 'S': case 'L': {
        size_t n = (c == 'I' || c == 'M' || c == 'D' || c == 'T') ? 1
                   : c == 'P' ? 3 : c == 'S' ? 8 : c == 'L' ? 4 : 2;
        if (!need(n)) return fail(at, "command cut short");
        if (!page && c != 'Y' && c != 'X') return fail(at, "page command outside a page");
        if (c == 'R') page->resolution[0] = q[0], page->resolution[1] = q[1];
        if (c == 'I') {
          page->inkMode = q[0];
          if (q[0] != 0x00 && q[0] != 0x10 && q[0] != 0x30 && q[0] != 0x31) return fail(at, "unknown ink mode");
        }
        if (c == 'M') {
          if (q[0] != 6 && q[0] != 7 && q[0] != 8) return fail(at, "unknown compression");
          page->compression = q[0];
        }
        if (c == 'P') {
          if (q[0] != 0x80) return fail(at, "malformed P command");
          page->modeParams[0] = q[1], page->modeParams[1] = q[2];
          SetUpPage(*page);
        }
        if (c == 'w') {
          page->rowBytes = size_t(q[0] | q[1] << 8);
          SetUpPage(*page);
        }
        if (c == 'F') page->advanced += uint32_t(q[0] | q[1] << 8);
        r.pos += n;
        if (c == 'L') {
          const uint32_t length = uint32_t(q[0] | q[1] << 8 | q[2] << 16 | uint32_t(q[3]) << 24);
          if (!r.Has(length)) return fail(at, "swath longer than the stream");
          if (const char* why = LaySwath(*page, data + r.pos, length)) return fail(at, why);
          ++page->swathsWritten;
          r.pos += length;
        }
        break;
      }
      case 'i':
        if (!need(1) || q[0] != 0xE1) return fail(at, "malformed i command");
        if (!need(4) || q[1] != 'r' || !need(7) || q[4] != 'L') return fail(at, "swath header incomplete");
        r.pos += 1;
        break;
      case 's':
        if (!need(1)) return fail(at, "command cut short");
        if (q[0] == 0xFF) {
          if (!need(3)) return fail(at, "command cut short");
          r.pos += 3;
        } else {
          r.pos += 1;
        }
        break;
      case 0x0C:
        if (!page) return fail(at, "form feed outside a page");
        page = nullptr;
        break;
      default:
        return fail(at, "unknown command");
    }
  }
  if (page) return fail(size, "page without its form feed");
  return s;
}

std::vector<uint8_t> RenderPage(const Page& page, int sourceWidth, int sourceHeight, double scale,
                                int* outWidth, int* outHeight) {
  scale = std::clamp(scale, 0.01, 1.0);
  const int w = std::max(1, int(sourceWidth * scale)), h = std::max(1, int(sourceHeight * scale));
  std::vector<uint8_t> rgb(size_t(w) * h * 3, 255);
  for (int y = 0; y < h; ++y) {
    const int y0 = int(y / scale), y1 = std::max(y0 + 1, int((y + 1) / scale));
    for (int x = 0; x < w; ++x) {
      const int x0 = int(x / scale), x1 = std::max(x0 + 1, int((x + 1) / scale));
      double ink[4];
      for (int c = 0; c < 4; ++c) ink[c] = std::min(1.0, page.MeanInk(c, x0, y0, x1, y1));
      uint8_t* px = rgb.data() + (size_t(y) * w + x) * 3;
      // Subtractive inks on white paper, with the usual unwanted absorptions.
      const double k = 1 - ink[3];
      px[0] = uint8_t(255 * (1 - ink[0]) * (1 - 0.10 * ink[1]) * k + 0.5);
      px[1] = uint8_t(255 * (1 - ink[1]) * (1 - 0.15 * ink[0]) * (1 - 0.05 * ink[2]) * k + 0.5);
      px[2] = uint8_t(255 * (1 - ink[2]) * (1 - 0.20 * ink[1]) * (1 - 0.10 * ink[0]) * k + 0.5);
    }
  }
  *outWidth = w, *outHeight = h;
  return rgb;
}

std::string SummaryJson(const Stream& s, int regions) {
  std::string out = "{\n";
  char buf[256];
  std::snprintf(buf, sizeof buf, "  \"ok\": %s,\n  \"documents\": %d,\n", s.ok ? "true" : "false", s.documents);
  out += buf;
  if (!s.ok) {
    std::snprintf(buf, sizeof buf, "  \"error\": {\"offset\": %zu, \"message\": \"%s\"},\n", s.errorOffset,
                  s.error.c_str());
    out += buf;
  }
  out += "  \"pages\": [";
  for (size_t i = 0; i < s.pages.size(); ++i) {
    const Page& p = s.pages[i];
    const int width = p.replication ? p.DotsAcross() / p.replication : 0;
    const int height = int((p.Lines() + p.linesPerRow - 1) / p.linesPerRow);
    std::snprintf(buf, sizeof buf,
                  "%s\n    {\"page\": %zu, \"sourceDpi\": %d, \"dotsAcross\": %d, \"rasterLines\": %ld, "
                  "\"passClass\": %d, \"printModeRow\": %d, \"passes\": %d, \"multibit\": %s, "
                  "\"monochrome\": %s, \"compression\": %d, \"swaths\": %d,\n",
                  i ? "," : "", i + 1, p.sourceDpi, p.DotsAcross(), p.Lines(), p.passClass, p.modeRow + 1,
                  p.weave.passes, p.multibit ? "true" : "false", p.monoOnly ? "true" : "false",
                  p.compression, p.swathsWritten);
    out += buf;
    static const char* kNames[4] = {"cyan", "magenta", "yellow", "black"};
    out += "     \"ink\": {";
    for (int c = 0; c < 4; ++c) {
      std::snprintf(buf, sizeof buf, "%s\"%s\": %.4f", c ? ", " : "", kNames[c], p.MeanInk(c, 0, 0, width, height));
      out += buf;
    }
    out += "},\n     \"regions\": [";
    for (int ry = 0; ry < regions; ++ry)
      for (int rx = 0; rx < regions; ++rx) {
        const int x0 = width * rx / regions, x1 = width * (rx + 1) / regions;
        const int y0 = height * ry / regions, y1 = height * (ry + 1) / regions;
        std::snprintf(buf, sizeof buf, "%s\n       {\"x\": %d, \"y\": %d, \"w\": %d, \"h\": %d, \"ink\": [",
                      (rx || ry) ? "," : "", x0, y0, x1 - x0, y1 - y0);
        out += buf;
        for (int c = 0; c < 4; ++c) {
          std::snprintf(buf, sizeof buf, "%s%.4f", c ? ", " : "", p.MeanInk(c, x0, y0, x1, y1));
          out += buf;
        }
        out += "]}";
      }
    out += "]}";
  }
  out += "\n  ]\n}\n";
  return out;
}

}  // namespace qvx::decode
