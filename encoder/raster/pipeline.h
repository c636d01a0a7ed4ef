// The band pipeline: ink extent, colour conversion and halftoning in
// sub-bands, the row generators that distribute plane rows over the swaths of
// the print head, swath writing with paper feeds, and the page flush.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "colour.h"
#include "compress.h"
#include "halftone.h"
#include "raster_settings.h"
#include "weave.h"

namespace qvx::raster {

// Where command bytes go; a negative status is a delivery failure.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual int32_t Write(const uint8_t* bytes, size_t length) = 0;
};

// Row coding for the settings' compression mode. The compression command can
// announce PackBits, zero-run groups or word runs only, so "none" is coded as
// PackBits too (raw rows would be read as PackBits by the printer).
RowCoding CodingFor(uint8_t compressionMode);

// Output lines per source row (vertical resolution over the source's).
int LinesPerSourceRow(uint16_t code);
// Plane row length in bytes for a printable width.
size_t PlaneRowBytes(uint16_t code, int printableWidth);

struct BandInput {
  const uint8_t* rows = nullptr;  // first printable pixel of the band's first row
  size_t bytesPerRow = 0;
  int width = 0;                  // printable width in pixels
  int firstRow = 0;               // from the printable top
  int rowCount = 0;
  bool firstBand = false;         // first band of the page
  bool lastBand = false;          // last band of the page
};

class RasterPipeline {
 public:
  // settings: the job's record fields; mode: its print mode table row;
  // tableDir: folder of the colour table files (empty: built-in tables only).
  RasterPipeline(const RasterSettings& settings, const ModeGeometry& mode,
                 std::filesystem::path tableDir = {});

  int32_t ProcessBand(const BandInput& band, ByteSink& out);

  // Parameter of the last ink mode command sent (the page header sends one).
  uint8_t lastInkMode = 0;

  // Test and tool hook: every output line of the page as woven (after the
  // horizontal masks): line index on the page, four plane rows, row length.
  std::function<void(long line, const uint8_t* const planes[4], size_t length)> lineTap;

 private:
  struct Swath {
    std::vector<uint8_t> data;
    int next = 0;           // next slot (plane row) to fill
    int leading = 0;        // blank slots before the first data
    uint16_t minTrailing = 0xFFFF;
    void Clear() { data.clear(), next = 0, leading = 0, minTrailing = 0xFFFF; }
  };

  void StartPage();
  void EmitLine(const uint8_t* line, bool ink);
  const uint8_t* SubPassMask();
  void Place(Swath& sw, int slot, const uint8_t* row);
  void CodeRow(Swath& sw, const uint8_t* row);
  int32_t WriteSwath(int pass, int swathIndex, uint32_t feed, int shiftRows);
  int32_t Flush();
  int32_t Put(const void* bytes, size_t n);
  int32_t Drain();

  RasterSettings settings_;
  ModeGeometry mode_;
  WeaveTables weave_;
  std::filesystem::path tableDir_;
  RowCoding coding_;
  uint16_t code_ = 0;
  int family_ = 2;
  bool monoOnly_ = false;
  bool multibit_ = false;
  int subPasses_ = 1;      // horizontal mask phases per halftoned line
  size_t rowBytes_ = 0;    // w
  size_t stride_ = 0;      // plane stride of the halftone lines

  std::optional<ColourConverter> colour_;
  Halftoner halftoner_;
  std::vector<uint8_t> enhanced_;  // copy of a whole-page band being enhanced
  std::vector<uint8_t> halftoned_;
  std::vector<uint8_t> masked_;
  std::vector<uint8_t> masks_;  // the horizontal mask row of each sub-pass
  std::vector<uint8_t> coded_;
  std::vector<Swath> swaths_;
  std::vector<uint8_t> pending_;  // command bytes not yet handed to the sink
  ByteSink* sink_ = nullptr;

  // page state
  int pass_ = 0;
  int lineInCycle_ = 0;
  int subPass_ = 0;
  long pageLine_ = 0;
  bool pageInk_ = false;
  bool wSent_ = false;
  uint64_t advanced_ = 0;  // paper feed on the page, 1/24000 inch
  int flushShift_ = 0;
};

}  // namespace qvx::raster
