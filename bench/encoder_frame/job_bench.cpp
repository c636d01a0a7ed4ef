// Memory and time of one A4 page per print mode: every block the encoder takes
// from the platform (output buffer, band buffer, settings cache, job state and
// its work and swath buffers) is counted, and the peak is reported.
#include <benchmark/benchmark.h>

#include <cstring>
#include <unordered_map>
#include <vector>

#include "api.h"
#include "inkjet_encoder.h"
#include "settings_record.h"

namespace {

using namespace qvx;
using namespace qvx::enc;

class CountingPlatform : public Platform {
 public:
  void* Alloc(size_t bytes) override {
    void* p = Platform::Alloc(bytes);
    if (p) {
      sizes_[p] = bytes;
      live_ += bytes;
      if (live_ > peak_) peak_ = live_;
    }
    return p;
  }
  void Free(void* block) override {
    if (block) {
      live_ -= sizes_[block];
      sizes_.erase(block);
    }
    Platform::Free(block);
  }
  size_t peak() const { return peak_; }
  void Reset() { peak_ = live_; }

 private:
  std::unordered_map<void*, size_t> sizes_;
  size_t live_ = 0;
  size_t peak_ = 0;
};

int32_t QVENC_CALL Discard(const void*, uint32_t, void*) { return 0; }

struct Mode {
  uint16_t mediaType;
  int16_t qualityCode;
  uint32_t cmFlag;
};
// Print mode codes 0x107, 0x205, 0x300, 0x500, 0x600, 0x700, 0x310, 0x510 and
// 0x300 as one whole-page band.
const Mode kModes[] = {{0, -1, 0}, {0, -2, 0}, {0, -3, 0}, {0, -4, 0}, {1, -4, 0},
                       {2, -4, 0}, {4, -3, 0}, {5, -4, 0}, {0, -3, 1}};

void JobPerPrintMode(benchmark::State& state) {
  const Mode& mode = kModes[state.range(0)];
  SettingsRecord s{};
  s.dm.dmPaperSize = 9;
  s.dm.dmCopies = 1;
  s.dm.dmColor = 2;
  s.mediaType = mode.mediaType;
  s.qualityCode = mode.qualityCode;
  s.cmFlag = mode.cmFlag;
  s.docType = 2;
  s.halftone = 2;
  s.compressionMode = 2;
  s.multibitMode = 1;
  const int preset = QualityPreset(mode.mediaType, mode.qualityCode);
  const int dpi = ResolutionForPreset(preset);
  const int32_t width = 8268 * dpi / 1000, height = 11693 * dpi / 1000;  // A4
  QvEncPageInfo info{};
  info.pageWidth = width;
  info.pageHeight = height;
  info.rowBits = (width * 24 + 31) / 32 * 32;
  info.rasterFormat = 2;
  std::strcpy(info.colorSpace, "DeviceRGB");
  info.documentId = info.pageId = 1;
  const int32_t band = 96;
  std::vector<uint8_t> rows(static_cast<size_t>(info.rowBits / 8) * band);
  for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 7 % 251);

  CountingPlatform platform;
  size_t peak = 0, jobBytes = 0;
  for (auto _ : state) {
    QvEncHandle h = nullptr;
    if (EncInit(platform, &h, nullptr, Discard, nullptr) < 0) {
      state.SkipWithError("init");
      return;
    }
    for (int32_t row = 0; row < height; row += band) {
      info.bandRows = std::min(band, height - row);
      EncPageData(h, &s, sizeof s, &info, rows.data());
    }
    auto* job = static_cast<JobState*>(FromHandle(h)->jobState());
    jobBytes = sizeof(JobState);
    for (size_t b : kJobBufferSizes) jobBytes += b;
    jobBytes += job->passes * job->swathSize + 2 * kTailBufferSize;
    state.counters["passes"] = job->passes;
    state.counters["code"] = job->printModeCode;
    EncExit(h);
    peak = platform.peak();
  }
  state.counters["dpi"] = dpi;
  state.counters["job_state_MiB"] = jobBytes / 1048576.0;
  state.counters["peak_MiB"] = peak / 1048576.0;
}
BENCHMARK(JobPerPrintMode)->DenseRange(0, 8)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
