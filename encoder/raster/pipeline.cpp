#include "pipeline.h"

#include "enhance.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qvx::raster {
namespace {

constexpr uint8_t kBlankRow = 0x5A;  // Z
constexpr uint8_t kMask7[2][5] = {{0x84, 0x21, 0x08, 0x42, 0x10}, {0xC0, 0x30, 0x0C, 0x03, 0x00}};
constexpr size_t kDrainAt = 256 * 1024;

#if defined(__SSE2__)
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
#endif

int Replication(uint16_t code) {
  switch (code & 0xFFF) {
    case 0x107: return 4;
    case 0x300: case 0x310: return 1;
    default: return PassClass(code) == 1 ? 4 : PassClass(code) == 3 ? 1 : 2;
  }
}

// Index of the first byte of p[0, n) other than v; n when there is none.
size_t FirstOther(const uint8_t* p, size_t n, uint8_t v) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i vv = _mm_set1_epi8(char(v));
  for (; i + 16 <= n; i += 16) {
    const unsigned m = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(p + i), vv))) ^ 0xFFFFu;
    if (m) return i + size_t(__builtin_ctz(m));
  }
#endif
  while (i < n && p[i] == v) ++i;
  return i;
}

// Index one past the last byte of p[0, n) other than v; 0 when there is none.
size_t EndOfOther(const uint8_t* p, size_t n, uint8_t v) {
#if defined(__SSE2__)
  const __m128i vv = _mm_set1_epi8(char(v));
  for (; n >= 16; n -= 16) {
    const unsigned m = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(p + n - 16), vv))) ^ 0xFFFFu;
    if (m) return n - 16 + size_t(32 - __builtin_clz(m));
  }
#endif
  while (n > 0 && p[n - 1] == v) --n;
  return n;
}

// dst = src AND mask over n bytes.
void AndRow(uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t n) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_and_si128(Load16(src + i), Load16(mask + i)));
#endif
  for (; i < n; ++i) dst[i] = src[i] & mask[i];
}

}  // namespace

RowCoding CodingFor(uint8_t compressionMode) {
  switch (compressionMode) {
    case 2: return RowCoding::ZeroRuns;
    case 3: return RowCoding::WordRuns;
    default: return RowCoding::PackBits;
  }
}

int LinesPerSourceRow(uint16_t code) {
  switch (PassClass(code)) {
    case 5: return 2;
    case 6: return 4;
    case 7: return 10;
    default: return 1;
  }
}

size_t PlaneRowBytes(uint16_t code, int printableWidth) {
  const size_t base = (size_t(std::max(printableWidth, 0)) + 7) / 8;
  return base * Replication(code) * (Multibit(code) ? 2 : 1);
}

RasterPipeline::RasterPipeline(const RasterSettings& settings, const ModeGeometry& mode,
                               std::filesystem::path tableDir)
    : settings_(settings), mode_(mode), weave_(BuildWeave(mode)), tableDir_(std::move(tableDir)),
      coding_(CodingFor(settings.compressionMode)) {
  family_ = BandFamily(settings_);
  code_ = BandCode(settings_, family_);
  monoOnly_ = MonoOnly(code_);
  multibit_ = Multibit(code_);
  subPasses_ = PassClass(code_) == 6 ? 2 : PassClass(code_) == 7 ? 5 : 1;
  swaths_.resize(weave_.passes);
}

int32_t RasterPipeline::Put(const void* bytes, size_t n) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  pending_.insert(pending_.end(), p, p + n);
  return 0;
}

int32_t RasterPipeline::Drain() {
  if (pending_.empty()) return 0;
  const int32_t status = sink_->Write(pending_.data(), pending_.size());
  pending_.clear();
  return status < 0 ? status : 0;
}

void RasterPipeline::StartPage() {
  for (Swath& s : swaths_) s.Clear();
  pass_ = lineInCycle_ = subPass_ = 0;
  pageLine_ = 0;
  pageInk_ = wSent_ = false;
  advanced_ = 0;
}

int32_t RasterPipeline::ProcessBand(const BandInput& band, ByteSink& out) {
  sink_ = &out;
  pending_.clear();
  if (band.firstBand) StartPage();
  const int width = band.width;
  rowBytes_ = PlaneRowBytes(code_, width);
  stride_ = std::max<size_t>(rowBytes_, 8);

  // Ink extent: leftmost and rightmost columns holding a non-white pixel.
  // White is 0xFF in all three bytes, so pixels are found by their bytes:
  // the first byte other than 0xFF lies in the first non-white pixel.
  int left = width, right = 0;
  for (int r = 0; r < band.rowCount; ++r) {
    const uint8_t* row = band.rows + size_t(r) * band.bytesPerRow;
    const int scan = std::max(std::min(left, width), 0);  // columns not yet known to be left of ink
    const int x = int(FirstOther(row, 3 * size_t(scan), 0xFF) / 3);
    if (x == width) continue;
    left = std::min(left, x);
    const int low = std::max(right, x + 1);
    int e = width;
    if (e > low) e = low + int((EndOfOther(row + 3 * size_t(low), 3 * size_t(width - low), 0xFF) + 2) / 3);
    right = std::max(right, e);
  }
  const bool bandInk = left < right;

  // Whole-page enhancement works on a copy: the rows belong to the caller.
  BandInput in = band;
  if (settings_.cmFlag == 1 && bandInk) {
    enhanced_.resize(size_t(band.rowCount) * width * 3);
    for (int r = 0; r < band.rowCount; ++r)
      std::memcpy(&enhanced_[size_t(r) * width * 3], band.rows + size_t(r) * band.bytesPerRow, size_t(width) * 3);
    EnhanceBand(settings_, code_, enhanced_.data(), size_t(width) * 3, width, band.rowCount, left, right);
    in.rows = enhanced_.data();
    in.bytesPerRow = size_t(width) * 3;
  }

  const uint8_t inkMode = InkModeByte(code_);
  const uint8_t ink[2] = {'I', inkMode};
  Put(ink, 2);
  lastInkMode = inkMode;
  const int rep = Replication(code_);
  if (!pageInk_)
    halftoner_.Select(SelectMethod(family_, code_, settings_.mediaType, settings_.dmPaperSize),
                      width * rep);
  if (!colour_) {
    colour_.emplace();
    colour_->Init(SelectTables(settings_, code_, family_, tableDir_), settings_, code_, family_);
  }

  const int subBand = HighPassClass(code_) ? 4 : 16;
  const int linesPerRow = halftoner_.LinesPerRow();
  halftoned_.resize(size_t(subBand) * linesPerRow * 4 * stride_);
  int32_t status = 0;
  for (int r0 = 0; r0 < band.rowCount && status >= 0; r0 += subBand) {
    const int rows = std::min(subBand, band.rowCount - r0);
    const int lines = rows * linesPerRow;
    bool subInk = false;
    if (bandInk) {
      subInk = halftoner_.Rows(*colour_, in.rows + size_t(r0) * in.bytesPerRow,
                               in.bytesPerRow, rows, band.firstRow + r0, left, right - left,
                               halftoned_.data(), stride_);
    } else {
      std::memset(halftoned_.data(), 0, size_t(lines) * 4 * stride_);
    }
    pageInk_ |= subInk;
    if (subInk && inkMode != lastInkMode) {
      Put(ink, 2);
      lastInkMode = inkMode;
    }
    if (!wSent_) {
      const uint8_t w[3] = {'w', uint8_t(rowBytes_), uint8_t(rowBytes_ >> 8)};
      Put(w, 3);
      wSent_ = true;
    }
    for (int l = 0; l < lines && status >= 0; ++l)
      for (int s = 0; s < subPasses_; ++s) {
        EmitLine(halftoned_.data() + size_t(l) * 4 * stride_, subInk);
        if (pending_.size() >= kDrainAt) status = Drain();
      }
  }
  if (status >= 0 && band.lastBand) status = Flush();
  const int32_t drained = Drain();
  return status < 0 ? status : drained;
}

void RasterPipeline::EmitLine(const uint8_t* line, bool ink) {
  const uint8_t* planes[4] = {line, line + stride_, line + 2 * stride_, line + 3 * stride_};
  if (subPasses_ > 1 && ink) {
    masked_.resize(4 * stride_);
    const uint8_t* mask = SubPassMask();
    for (int c = 0; c < 4; ++c) {
      uint8_t* dst = masked_.data() + c * stride_;
      AndRow(dst, planes[c], mask, rowBytes_);
      planes[c] = dst;
    }
  }
  if (lineTap) lineTap(pageLine_, planes, rowBytes_);

  const int P = weave_.passes;
  if (!mode_.weave) {
    Swath& sw = swaths_[weave_.swath[pass_]];
    if (monoOnly_) {
      Place(sw, sw.next, planes[3]);
    } else {
      for (int c = 0; c < 4; ++c) Place(sw, sw.next, planes[c]);
    }
  } else {
    const WeaveEntry& e = weave_.lines[pass_ % weave_.period][lineInCycle_];
    const int g = weave_.period * (pass_ / weave_.period);
    Swath& black = swaths_[(g + e.blackSwath) % P];
    if (monoOnly_) {
      Place(black, e.blackRow, planes[3]);
    } else {
      Swath& colour = swaths_[(g + e.colourSwath) % P];
      for (int c = 0; c < 3; ++c) Place(colour, 4 * e.colourRow + c, planes[c]);
      Place(black, 4 * e.blackRow + 3, planes[3]);
    }
  }
  ++pageLine_;
  subPass_ = (subPass_ + 1) % subPasses_;
  if (++lineInCycle_ >= weave_.collect[pass_]) {
    WriteSwath(pass_, weave_.swath[pass_], uint32_t(mode_.feed) * weave_.feed[pass_], 0);
    pass_ = (pass_ + 1) % P;
  }
}

const uint8_t* RasterPipeline::SubPassMask() {
  // One mask row per sub-pass, made again only when the row length changes.
  if (masks_.size() != size_t(subPasses_) * rowBytes_) {
    masks_.resize(size_t(subPasses_) * rowBytes_);
    for (int s = 0; s < subPasses_; ++s) {
      uint8_t* m = masks_.data() + size_t(s) * rowBytes_;
      if (subPasses_ == 2) {
        std::fill_n(m, rowBytes_, multibit_ ? (s ? 0x33 : 0xCC) : (s ? 0x55 : 0xAA));
      } else {
        const uint8_t* pattern = kMask7[multibit_ ? 1 : 0];
        for (size_t i = 0; i < rowBytes_; ++i) m[i] = pattern[(s + i) % 5];
      }
    }
  }
  return masks_.data() + size_t(subPass_) * rowBytes_;
}

void RasterPipeline::Place(Swath& sw, int slot, const uint8_t* row) {
  if (slot > sw.next) {
    const int gap = slot - sw.next;
    if (sw.data.empty()) {
      sw.leading += gap;
    } else {
      sw.data.insert(sw.data.end(), size_t(gap), kBlankRow);
    }
  }
  sw.next = slot;
  CodeRow(sw, row);
  ++sw.next;
}

void RasterPipeline::CodeRow(Swath& sw, const uint8_t* row) {
  const size_t end = EndOfOther(row, rowBytes_, 0);
  if (end == 0) {
    sw.data.push_back(kBlankRow);
    return;
  }
  const size_t trailing = (rowBytes_ - end) / (multibit_ ? 2 : 1);
  sw.minTrailing = static_cast<uint16_t>(std::min<size_t>(sw.minTrailing, trailing));
  coded_.resize(MaxCodedSize(rowBytes_));
  const CodedRow c = CompressRow(coding_, row, rowBytes_, coded_.data());
  const uint16_t length = static_cast<uint16_t>(c.size | (c.sparse ? 0x8000 : 0));
  const uint8_t head[3] = {'G', uint8_t(length), uint8_t(length >> 8)};
  sw.data.insert(sw.data.end(), head, head + 3);
  sw.data.insert(sw.data.end(), coded_.data(), coded_.data() + c.size);
}

int32_t RasterPipeline::WriteSwath(int, int swathIndex, uint32_t feed, int shiftRows) {
  advanced_ += feed;
  const uint8_t full[3] = {'F', 0xFF, 0x7F};
  for (uint32_t i = 0; i < feed / 0x7FFF; ++i) Put(full, 3);
  const uint32_t rest = feed % 0x7FFF;
  const uint8_t tail[3] = {'F', uint8_t(rest), uint8_t(rest >> 8)};
  Put(tail, 3);

  Swath& sw = swaths_[swathIndex];
  bool blank = sw.data.empty();
  if (!blank && sw.data.size() <= 376)
    blank = std::all_of(sw.data.begin(), sw.data.end(), [](uint8_t b) { return b == kBlankRow; });
  if (!blank) {
    const int slotsPerRow = monoOnly_ ? 1 : 4;
    const int total = weave_.nozzles * slotsPerRow;
    const int leading = sw.leading + shiftRows * slotsPerRow;
    const int pad = std::max(total - sw.next - shiftRows * slotsPerRow, 0);
    const uint16_t r = static_cast<uint16_t>(sw.minTrailing * 8u);
    const uint32_t length = uint32_t(leading + pad) + uint32_t(sw.data.size());
    const uint8_t head[10] = {'i', 0xE1, 'r', uint8_t(r), uint8_t(r >> 8), 'L',
                              uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                              uint8_t(length >> 24)};
    Put(head, sizeof head);
    pending_.insert(pending_.end(), size_t(leading), kBlankRow);
    pending_.insert(pending_.end(), sw.data.begin(), sw.data.end());
    pending_.insert(pending_.end(), size_t(pad), kBlankRow);
  }
  lineInCycle_ = 0;
  sw.Clear();
  return pending_.size() >= kDrainAt ? Drain() : 0;
}

int32_t RasterPipeline::Flush() {
  const int P = weave_.passes;
  int32_t status = 0;
  if ((settings_.mediaByte & 0x10) != 0) {
    // Swaths at the page end are written with their feeds shortened by the
    // nozzle rows they do not use, those rows moving to the top of the swath.
    // The shortening carries over: each swath is placed relative to where the
    // previous one left the paper.
    const int c = pass_;
    const int slotsPerRow = monoOnly_ ? 1 : 4;
    int shifted = 0;
    for (int k = 0; k < P && status >= 0; ++k) {
      const int o = weave_.flushOffsets[k];
      const int index = (o + weave_.swath[c]) % P;
      const uint32_t feed = uint32_t(mode_.feed) * weave_.feed[(c + o) % P];
      const Swath& sw = swaths_[index];
      int shift = shifted;
      if (!sw.data.empty()) {
        const int missing = (weave_.nozzles * slotsPerRow - sw.next) / slotsPerRow;
        shift = std::min<int>(missing, shifted + int(feed / 160));
      }
      const int64_t adjusted = int64_t(feed) - 160 * int64_t(shift - shifted);
      shifted = shift;
      status = WriteSwath(c, index, uint32_t(adjusted), shift);
    }
    return status;
  }
  for (int k = 0; k < P && status >= 0; ++k) {
    status = WriteSwath(pass_, weave_.swath[pass_], uint32_t(mode_.feed) * weave_.feed[pass_], 0);
    pass_ = (pass_ + 1) % P;
  }
  return status;
}

}  // namespace qvx::raster
