// Drives one job with page records and row buffers built from the input: ids,
// sizes, row lengths, band heights and formats as a hostile caller might send
// them. Each row buffer is exactly as long as the record says, so any read
// outside it is caught.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "api.h"
#include "inkjet_encoder.h"
#include "settings_record.h"

namespace {

using namespace qvx;
using namespace qvx::enc;

// Allocation failures above 64 MiB stand in for a system that has no more.
class BoundedPlatform : public Platform {
 public:
  void* Alloc(size_t bytes) override {
    return bytes > (64u << 20) ? nullptr : Platform::Alloc(bytes);
  }
};

int32_t QVENC_CALL Sink(const void*, uint32_t, void*) { return 0; }

template <typename T>
T Take(const uint8_t*& p, const uint8_t* end) {
  T v{};
  if (end - p >= static_cast<ptrdiff_t>(sizeof v)) std::memcpy(&v, p, sizeof v);
  p += std::min<ptrdiff_t>(end - p, sizeof v);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static BoundedPlatform platform;
  const uint8_t* p = data;
  const uint8_t* end = data + size;

  SettingsRecord s{};
  s.dm.dmPaperSize = Take<uint8_t>(p, end) % 2 ? 27 : 9;
  s.dm.dmColor = 2;
  s.dm.dmCopies = 1;
  s.mediaType = Take<uint8_t>(p, end) % 14;
  s.qualityCode = static_cast<int16_t>(-1 - Take<uint8_t>(p, end) % 4);
  s.cmFlag = Take<uint8_t>(p, end) % 2;

  QvEncHandle h = nullptr;
  auto encoder = std::make_unique<InkjetEncoder>(platform, std::make_unique<NullRasterStage>());
  if (EncInitWith(std::move(encoder), &h, nullptr, Sink, nullptr) < 0) return 0;
  while (p < end) {
    QvEncPageInfo info{};
    info.documentId = Take<uint8_t>(p, end) % 3;
    info.pageId = Take<uint8_t>(p, end) % 4;
    info.pageWidth = Take<int16_t>(p, end);
    info.pageHeight = Take<int16_t>(p, end);
    info.rowBits = Take<int32_t>(p, end);
    info.bandRows = Take<int16_t>(p, end);
    const uint8_t flags = Take<uint8_t>(p, end);
    info.invertRows = flags & 1;
    info.rasterFormat = flags & 2 ? 2 : (flags >> 4) & 7;
    info.pageFlags = (flags >> 2) & 1;
    std::strcpy(info.colorSpace, flags & 8 ? "DeviceGray" : "DeviceRGB");
    const bool changeSettings = flags & 0x80;
    if (changeSettings) s.qualityCode = static_cast<int16_t>(s.qualityCode == -1 ? -3 : -1);

    const int64_t stride = info.rowBits > 0 ? (static_cast<int64_t>(info.rowBits) + 7) / 8 : 0;
    const int64_t bytes = info.bandRows > 0 ? stride * info.bandRows : 0;
    if (bytes > (16 << 20)) continue;
    std::vector<uint8_t> rows(static_cast<size_t>(bytes));
    EncPageData(h, &s, sizeof s, &info, rows.empty() ? nullptr : rows.data());
  }
  EncExit(h);
  return 0;
}
