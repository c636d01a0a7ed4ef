// Any bytes as a settings record from outside, in a buffer of exactly their
// size: the merge always yields a valid record of ours, and neither the merge
// nor the conversions touch a byte outside the buffers they were given.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "convert.h"
#include "description_image.h"
#include "example_description.h"
#include "platform_fake.h"
#include "settings_defaults.h"
#include "settings_merge.h"

namespace {

const qvx::DescriptionImage* Description() { return qvx::fuzz::ExampleDescription(); }

bool Terminated(const char16_t* text, size_t n) { return std::memchr(text, 0, n * 2) && text[n - 1] == 0; }

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qvx::core::FakePlatform platform;
  auto incoming = std::make_unique<uint8_t[]>(size);
  if (size) std::memcpy(incoming.get(), data, size);

  qvx::SettingsRecord record;
  qvx::core::BuildDefaultSettings(record, u"Fuzz", Description(), true, platform);
  if (qvx::core::MergeSettings(record, incoming.get(), size, nullptr, Description(), platform)) {
    Check(qvx::IsOwnRecord(&record, sizeof record));
    Check(record.endMarker == qvx::kEndMarker && record.renderBlockOffset == qvx::kRenderBlockOffset);
    Check(record.dm.dmCopies >= 1 && record.dm.dmCopies <= 999);
    Check(record.dm.dmScale >= 1 && record.dm.dmScale <= 1000);
    Check(record.optionCount <= qvx::kOptionSelectionCapacity);
    Check(record.bandingSize >= 100 && record.bandingSize <= 600);
    Check(Terminated(record.dm.dmFormName, 32) && Terminated(record.watermarkName, 128) &&
          Terminated(record.helperExe, 32));
  }

  // The same bytes as the caller's output buffer of a conversion: its header
  // may claim anything, the buffer size is what counts.
  qvx::SettingsRecord ours;
  qvx::core::BuildDefaultSettings(ours, u"Fuzz", Description(), false, platform);
  int32_t bytes = static_cast<int32_t>(size);
  qvx::core::ConvertDevMode(platform, u"Fuzz", &ours, incoming.get(), &bytes, qvx::core::kConvertToCaller);
  std::memcpy(incoming.get(), data, size);
  qvx::core::CopySettingsForCaller(ours, data, size, incoming.get(), size);
  return 0;
}
