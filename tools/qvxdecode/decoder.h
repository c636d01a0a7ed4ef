// The virtual printer: reads a command stream, checks every command, expands
// the rows, un-weaves the swaths with the paper feeds and the head model, and
// rebuilds each page's dot planes.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "weave.h"

namespace qvx::decode {

struct Page {
  // from the page header
  uint8_t resolution[2] = {0, 0};  // R parameters
  uint8_t inkMode = 0;
  uint8_t compression = 0;         // M parameter
  uint8_t modeParams[2] = {0, 0};  // P parameters after 0x80
  int modeRow = -1;                // print mode table row, 0-based
  int passClass = 0;
  bool monoOnly = false;
  bool multibit = false;
  bool wide = false;               // large drop worth more than one ink unit
  int replication = 1;             // dots per source pixel across
  int linesPerRow = 1;             // raster lines per source row
  int subPasses = 1;               // raster lines sharing one halftoned line's pixels
  int sourceDpi = 600;
  raster::WeaveTables weave;
  size_t rowBytes = 0;             // w
  uint64_t advanced = 0;           // paper feed, 1/24000 inch
  int swathsWritten = 0;

  // planes[c][line] is one plane row of rowBytes bytes (empty until inked)
  std::array<std::vector<std::vector<uint8_t>>, 4> planes;
  // inked rows laid down per plane and line (every entry should be 0 or 1)
  std::array<std::vector<uint8_t>, 4> placed;

  long Lines() const;
  int DotsAcross() const { return int(rowBytes * 8 / (multibit ? 2 : 1)); }
  // Ink of a dot at (dot x, raster line) in ink units (1.0 = a full pixel of ink).
  double Dot(int channel, long line, int x) const;
  // Mean ink of a channel over a rectangle in source pixels.
  double MeanInk(int channel, int x0, int y0, int x1, int y1) const;
};

struct Stream {
  bool ok = true;
  size_t errorOffset = 0;   // first malformed command
  std::string error;
  int documents = 0;
  std::vector<Page> pages;
};

Stream DecodeStream(const uint8_t* data, size_t size);

// Preview: RGB rows of a page at `scale` output pixels per source pixel
// (0 < scale <= 1), ink drops simulated on white paper.
std::vector<uint8_t> RenderPage(const Page& page, int sourceWidth, int sourceHeight, double scale,
                                int* outWidth, int* outHeight);

std::string SummaryJson(const Stream& s, int regions);

}  // namespace qvx::decode
