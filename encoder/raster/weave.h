// Weave, feed and swath tables of the print modes, derived from the head model.
//
// Head model: one row of nozzles per ink at a pitch of 1/150 inch; the black
// nozzles sit half a pitch (1/300 inch) below the colour nozzles of the same
// index. A mode that prints q raster lines per pitch (q = 160 / feed per line)
// uses n nozzles (the row's count, or one fewer when that count shares a
// factor with q) and advances the paper n raster lines before every swath, so
// after P passes the swaths of one nozzle position have laid down every line
// once (n and q coprime). Colour nozzle r of the swath written when the paper
// has advanced A raster lines prints line A - q x n + q x r; black adds q / 2.
#pragma once
#include <cstdint>
#include <vector>

namespace qvx::raster {

// The columns of a print mode table row that the raster stage uses.
struct ModeGeometry {
  bool weave = false;
  uint8_t nozzles = 94;
  uint16_t feed = 160;    // 1/24000 inch per raster line
  uint8_t passes = 1;
  uint8_t period = 0;
  uint8_t mediaKey = 0;   // 0x10 rows flush with shortened feeds
};

struct WeaveEntry {
  uint8_t colourSwath, colourRow, blackSwath, blackRow;
};

struct WeaveTables {
  int passes = 1;
  int period = 1;
  int nozzles = 94;  // nozzle rows of a swath (pad target)
  int used = 94;     // nozzles in use
  int pitch = 1;     // raster lines per nozzle pitch
  int stagger = 0;   // raster lines from a colour nozzle to its black neighbour
  std::vector<std::vector<WeaveEntry>> lines;  // [pass mod period][line in cycle]
  std::vector<uint16_t> feed;       // raster lines fed before pass i's swath
  std::vector<uint8_t> swath;       // swath record pass i writes
  std::vector<uint16_t> collect;    // lines collected before pass i's swath
  std::vector<uint8_t> flushOffsets;  // media key 0x10 rows

  // First raster line of colour nozzle 0 for a swath written after the paper
  // advanced `advanced` raster lines on the page.
  long SwathTop(long advanced) const { return advanced - long(pitch) * used; }
};

WeaveTables BuildWeave(const ModeGeometry& mode);

}  // namespace qvx::raster
