#include "weave.h"

#include <numeric>
#include <stdexcept>

namespace qvx::raster {

WeaveTables BuildWeave(const ModeGeometry& mode) {
  WeaveTables t;
  t.passes = mode.weave ? std::max<int>(mode.passes, 1) : 1;
  t.period = mode.weave ? std::max<int>(mode.period, 1) : 1;
  t.nozzles = mode.nozzles;
  t.pitch = mode.weave ? std::max(160 / std::max<int>(mode.feed, 1), 1) : 1;
  t.stagger = t.pitch / 2;
  t.used = mode.nozzles;
  while (t.used > 1 && std::gcd(t.used, t.pitch) != 1) --t.used;
  const int P = t.passes, q = t.pitch, n = t.used;
  if (q > P) throw std::logic_error("weave: more lines per pitch than passes");

  for (int i = 0; i < P; ++i) {
    t.feed.push_back(static_cast<uint16_t>(n));
    t.collect.push_back(static_cast<uint16_t>(n));
    t.swath.push_back(static_cast<uint8_t>((i + q - 1) % P));
    t.flushOffsets.push_back(static_cast<uint8_t>(i));
  }
  if (!mode.weave) return t;

  // Line j of the cycle of pass k is raster line k n + j. The swath written at
  // pass k' has its nozzle 0 at line (k' - q + 1) n; of the q swaths open while
  // the line arrives (k' = k .. k + q - 1) exactly one has a nozzle on it.
  auto place = [&](int j, int shift, int periodIndex, uint8_t* swath, uint8_t* row) {
    for (int d = 0; d < q; ++d) {
      const int rel = j - shift - (d - q + 1) * n;
      if (rel < 0 || rel % q != 0 || rel / q >= n) continue;
      *swath = static_cast<uint8_t>((periodIndex + d + q - 1) % P);
      *row = static_cast<uint8_t>(rel / q);
      return;
    }
    throw std::logic_error("weave: line without a nozzle");
  };
  for (int pi = 0; pi < t.period; ++pi) {
    std::vector<WeaveEntry> cycle(n);
    for (int j = 0; j < n; ++j) {
      place(j, 0, pi, &cycle[j].colourSwath, &cycle[j].colourRow);
      place(j, t.stagger, pi, &cycle[j].blackSwath, &cycle[j].blackRow);
    }
    t.lines.push_back(std::move(cycle));
  }
  return t;
}

}  // namespace qvx::raster
