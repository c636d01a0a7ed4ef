// Settings records for every print mode, synthetic pages, and a driver that
// runs the raster pipeline over a page between a real page header and trailer.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "pipeline.h"
#include "print_mode.h"
#include "qvenc.h"
#include "settings_record.h"

namespace qvx::raster::test {

struct ModeCase {
  const char* name;
  int row;  // 0-based row of the print mode table the settings select
  uint16_t mediaType;
  int16_t qualityCode;
  int16_t paperSize;
  uint16_t modelTypeBits;
};

// One settings combination per row of the print mode table.
inline const ModeCase kModeCases[] = {
    {"Draft150", 0, 0, -1, 9, 0},          {"Normal300", 1, 0, -2, 9, 0},
    {"Fine600", 2, 0, -3, 9, 0},           {"Best1200", 3, 0, -4, 9, 0},
    {"Photo2400", 4, 2, -3, 9, 0},         {"Photo6000", 5, 2, -4, 9, 0},
    {"Borderless300", 6, 0, -2, 274, 0x10}, {"Borderless600", 7, 0, -3, 274, 0x10},
    {"Borderless1200", 8, 0, -4, 274, 0x10}, {"Borderless2400", 9, 2, -3, 274, 0x10},
    {"Borderless6000", 10, 2, -4, 274, 0x10}, {"Envelope150", 11, 0, -1, 27, 0},
    {"Envelope300", 12, 0, -2, 27, 0},     {"Envelope600", 13, 0, -3, 27, 0},
    {"Envelope1200", 14, 0, -4, 27, 0},    {"Thick600", 15, 4, -1, 9, 0},
    {"Thick1200", 16, 4, -4, 9, 0},
};

enum class Ink { Colour, ColourMultibit, Mono };

inline SettingsRecord Record(const ModeCase& m, Ink ink, uint8_t compression = 2) {
  SettingsRecord s{};
  s.dm.dmSpecVersion = kSpecVersion;
  s.dm.dmDriverVersion = kDriverVersion;
  s.dm.dmSize = kPublicSize;
  s.dm.dmDriverExtra = kPrivateSize;
  s.dm.dmPaperSize = m.paperSize;
  s.dm.dmCopies = 1;
  s.dm.dmColor = ink == Ink::Mono ? 1 : 2;
  s.dm.dmDefaultSource = 7;
  s.signature = kSignature;
  s.mediaType = m.mediaType;
  s.qualityCode = m.qualityCode;
  s.modelTypeBits = m.modelTypeBits;
  s.docType = 2;
  s.halftone = 2;
  s.compressionMode = compression;
  s.bidirectional = 1;
  s.multibitMode = ink == Ink::ColourMultibit ? 1 : 0;
  s.cmSwitch320 = 1;
  s.cmSwitch324 = 1;
  return s;
}

// The job's copy of a record: derived code and media byte written in.
struct Job {
  SettingsRecord record;
  uint16_t code;
  uint8_t mediaByte;
  int row;
};

inline Job MakeJob(const ModeCase& m, Ink ink, uint8_t compression = 2) {
  Job j{Record(m, ink, compression), 0, 0, 0};
  SettingsRecord& s = j.record;
  s.borderless = enc::IsBorderlessPaper(s.dm.dmPaperSize) ? 1 : 0;
  const int preset = enc::QualityPreset(s.mediaType, s.qualityCode);
  j.code = enc::PrintModeCode(s, preset);
  j.mediaByte = enc::MediaByte(s, j.code);
  j.row = enc::FindPrintModeRow(j.code, j.mediaByte);
  s.privWord284 = j.code;
  s.printPreset = static_cast<uint8_t>(preset);
  s.sfQualityOption = j.mediaByte;
  return j;
}

inline ModeGeometry Geometry(int row) {
  const enc::PrintModeRow& r = enc::kPrintModeTable[row];
  ModeGeometry g;
  g.weave = r.weave, g.nozzles = r.nozzles, g.feed = r.feed, g.passes = r.passes;
  g.period = r.period, g.mediaKey = r.mediaKey;
  return g;
}

// Synthetic RGB pages.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* Row(int y) const { return rgb.data() + size_t(y) * width * 3; }
  uint8_t* Px(int x, int y) { return rgb.data() + (size_t(y) * width + x) * 3; }
};

inline uint32_t Hash(uint32_t x, uint32_t y) {
  uint32_t h = x * 73856093u ^ y * 19349663u;
  h ^= h >> 13;
  h *= 1274126177u;
  return h ^ (h >> 16);
}

// Busy colour everywhere: every plane gets ink on nearly every line.
inline Image Noise(int w, int h, uint32_t seed = 1) {
  Image im{w, h, std::vector<uint8_t>(size_t(w) * h * 3)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t v = Hash(x + seed * 7919, y);
      uint8_t* p = im.Px(x, y);
      p[0] = uint8_t(40 + v % 180), p[1] = uint8_t(40 + (v >> 8) % 180), p[2] = uint8_t(40 + (v >> 16) % 180);
    }
  return im;
}

// Smooth fields and soft shapes with a little texture: what a photo looks like
// to the pipeline (few equal neighbours).
Image PhotoLike(int w, int h);
// Integer-only variant (same on every C library): gradients, discs, texture.
Image SmoothFields(int w, int h);
// Mostly white with lines of dark glyph-like strokes.
Image TextLike(int w, int h);

// Prints one page image as the rendering filter would: QvEncInit, the page in
// bands of bandRows rows through QvEncPageData, QvEncExit. The status of the
// first call that fails, or 0. (print_image.cpp, in the programs that link the
// exports.)
int32_t PrintImage(const SettingsRecord& record, const Image& page, int bandRows, QvEncWriteProc write,
                   void* context);
// Horizontal ramps of white to each primary and to black, in bands.
Image Ramps(int w, int h);

class CaptureSink final : public ByteSink {
 public:
  int32_t Write(const uint8_t* bytes, size_t n) override {
    out.insert(out.end(), bytes, bytes + n);
    return 0;
  }
  std::vector<uint8_t> out;
};

// Runs one page through a pipeline in bands of bandRows, framed by the page
// header the printer class writes and a form feed.
inline std::vector<uint8_t> RunPage(RasterPipeline& p, const Job& job, const Image& im,
                                    int bandRows = 96) {
  CaptureSink sink;
  uint8_t header[enc::kPageHeaderMax];
  const size_t n = enc::BuildPageHeader(job.record, job.code, job.mediaByte, 0, header);
  sink.out.assign(header, header + n);
  p.lastInkMode = enc::InkModeByte(job.code);
  for (int y = 0; y < im.height; y += bandRows) {
    BandInput b;
    b.rows = im.Row(y);
    b.bytesPerRow = size_t(im.width) * 3;
    b.width = im.width;
    b.firstRow = y;
    b.rowCount = std::min(bandRows, im.height - y);
    b.firstBand = y == 0;
    b.lastBand = y + bandRows >= im.height;
    p.ProcessBand(b, sink);
  }
  sink.out.push_back(0x0C);
  return sink.out;
}

}  // namespace qvx::raster::test
