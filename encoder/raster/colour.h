// Colour conversion: RGB pixels to four 10-bit ink values through a
// 17 x 17 x 17 grid, output and correction curves and the ink limit.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "raster_settings.h"

namespace qvx::raster {

inline constexpr size_t kGridNodes = 17 * 17 * 17;
inline constexpr size_t kGridValues = kGridNodes * 4;
inline constexpr size_t kCurveValues = 9 * 256;

struct ColourTables {
  std::vector<uint16_t> grid;    // kGridValues: C, M, Y, K per node, red slowest
  std::vector<uint16_t> curves;  // kCurveValues: output C M Y K, correction C M Y K, black only
  uint16_t inkLimit = 0;
};

struct TagPair {
  uint32_t grid = 0;
  uint32_t curve = 0;
};

// Which table set the settings ask for (variant 1 natural, 2 vivid).
int TableVariant(const RasterSettings& s);
bool MatchingOn(const RasterSettings& s);
TagPair TagSignatures(uint16_t code, uint16_t mediaType, uint32_t mediaVariant, int family,
                      int variant, bool matching);
const char* TableFileName(uint16_t mediaType, uint32_t mediaVariant);

// Finds the two tags in a colour table file held in memory. Any malformed
// file gives nullopt; nothing outside [data, data + size) is read.
std::optional<ColourTables> ParseTableFile(const uint8_t* data, size_t size, TagPair tags);
// Reads a colour table file (nullopt when missing, too large or malformed).
std::optional<ColourTables> LoadTableFile(const std::filesystem::path& path, TagPair tags);
// The compiled-in set for a pass class, band family and variant.
ColourTables BuiltinTables(unsigned passClass, int family, int variant);

// Tables for a job: the file in tableDir when it holds the tags, else built-in.
ColourTables SelectTables(const RasterSettings& s, uint16_t bandCode, int family,
                          const std::filesystem::path& tableDir);

struct TetraTable;

// a / d rounded down, for a below 2^24 and d from 1 to 3069, by a table of
// reciprocals (the ink limit's share of the colour inks).
uint32_t DivideSmall(uint32_t a, uint32_t d);

struct Inks {
  uint16_t c, m, y, k;
};

class ColourConverter {
 public:
  // code: the band's print mode code; family: band family.
  void Init(const ColourTables& tables, const RasterSettings& s, uint16_t code, int family);

  // Grid lookup; darkness (0..1020) is the input of the correction curves.
  Inks ConvertPixel(uint8_t r, uint8_t g, uint8_t b, unsigned* darkness) const;
  // Ink values for error diffusion (correction, output curves, ink limit).
  Inks InkValues(uint8_t r, uint8_t g, uint8_t b) const;
  // InkValues of count pixels (RGB, consecutive).
  void InkRow(const uint8_t* rgb, int count, Inks* out) const;
  // Ink values for ordered dither (output curves, colour raised to black, limit).
  Inks DitherValues(uint8_t r, uint8_t g, uint8_t b) const;

  bool BlackOnly() const { return blackOnly_; }
  uint16_t InkLimit() const { return limit_; }

 private:
  // The correction and output curves and the ink limit on a grid result.
  Inks Corrected(Inks grid, unsigned darkness) const;
  // InkValues of one pixel, by the vector grid lookup where there is one.
  Inks RowPixel(const uint8_t* rgb) const;

  // Recently converted colours, by a hash of the colour (keys above 0xFFFFFF
  // mark empty entries).
  static constexpr unsigned kCacheBits = 17;
  struct CacheEntry {
    uint32_t key;
    Inks v;
  };
  static uint32_t CacheSlot(uint32_t key) { return (key * 0x9E3779B1u) >> (32 - kCacheBits); }
  mutable std::vector<CacheEntry> cache_;
  mutable std::vector<int> misses_, repeats_;  // InkRow's lists of pixels

  const TetraTable* tetras_ = nullptr;
  std::vector<uint16_t> grid_;
  std::array<std::array<uint16_t, 1024>, 4> p_{};
  std::array<std::array<int16_t, 4>, 1024> rc_{};  // correction by darkness, C M Y K side by side
  const uint64_t* reciprocals_ = nullptr;
  std::array<uint16_t, 256> q_{};
  uint16_t limit_ = 0;
  bool monochrome_ = false;
  bool blackOnly_ = false;
  bool family1_ = false;
};

}  // namespace qvx::raster
