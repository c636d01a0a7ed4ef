// JobState: everything the printer class derives from one settings record.
// One exists per distinct record; a changed record at a page start builds a
// new one. The first 2376 bytes are the record itself, with the print mode
// code, quality preset, media byte and borderless flag overwritten by their
// derived values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster_encoder.h"
#include "settings_record.h"

namespace qvx::enc {

struct PrintModeRow;

// Work buffers, allocated zero-filled in this order by CreateJobState; each
// has its own allocation status (-1004 onwards).
enum JobBuffer : int {
  kErrorRowsC,      // error diffusion rows, three rows interleaved, per channel
  kErrorRowsM,
  kErrorRowsY,
  kErrorRowsK,
  kDiffusionState,  // error diffusion parameters and positions
  kHalftoneOutput,  // halftoned plane rows of the lines being woven
  kWork43912,
  kWork18432,
  kWork856,
  kWork4096,
  kWork768,
  kWork156060,      // 15 blocks of 10,404 bytes
  kWork1792,
  kJobBufferCount
};
inline constexpr size_t kJobBufferSizes[kJobBufferCount] = {
    62520, 62520, 62520, 62520, 264, 98816, 43912, 18432, 856, 4096, 768, 10404 * 15, 1792};
inline constexpr int32_t kJobBufferStatus[kJobBufferCount] = {
    -1004, -1005, -1006, -1007, -1008, -1009, -1010, -1011, -1012, -1013, -1014, -1015, -1016};

inline constexpr int kMaxPasses = 40;
inline constexpr size_t kSwathBufferHigh = 1173440;  // high pass classes
inline constexpr size_t kSwathBufferLow = 586720;
inline constexpr size_t kTailBufferSize = 6176;      // the two last buffers (-1018)

struct JobState {
  SettingsRecord settings;  // copy of the record with derived values written in

  // derived when the state is built
  int32_t copies = 1;
  int32_t resolution = 0;         // 150, 300 or 600 dpi
  uint32_t mediaDependent = 0;    // moved out of the record; bit 1 swaps envelope margins
  uint16_t printModeCode = 0;
  uint8_t qualityPreset = 0;
  uint8_t mediaByte = 0;
  int32_t printModeIndex = 0;     // row of the print mode table, 0-based
  const PrintModeRow* printMode = nullptr;
  int32_t passes = 1;
  // folder of the colour table files, empty for the built-in tables only
  char16_t colourTableFolder[260] = {};

  // band plan, fixed by GetPrintableArea (and NegotiateBandHeight)
  PrintableRect printable;
  int32_t bandCount = 0;
  int32_t lastBandHeight = 0;
  int32_t wholePage = 0;          // the page is one band

  // per page
  int32_t pageNumber = 0;
  int32_t bandsDone = 0;          // bands of the current page handed to the raster stage
  int32_t finishedEarly = 0;
  uint8_t lastInkMode = 0;        // parameter of the last I command sent

  // work buffers (owned; freed by DestroyJobState)
  uint8_t* buffers[kJobBufferCount] = {};
  size_t swathSize = 0;
  uint8_t* swaths[kMaxPasses] = {};
  uint8_t* tail[2] = {};
};
static_assert(offsetof(JobState, settings) == 0);
static_assert(sizeof(SettingsRecord) == QVENC_SETTINGS_SIZE);

}  // namespace qvx::enc
