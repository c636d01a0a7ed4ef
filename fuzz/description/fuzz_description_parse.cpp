// Any bytes as a description file: the parse succeeds or fails cleanly, and what
// compiles is always accepted back from its own cache bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "description_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvx::DescriptionImagePtr stored =
      qvx::CompileDescription(qvx::ParseDescriptionBuffer({data, size}), "fuzz.ppd");
  if (!stored) return 0;
  const auto* bytes = reinterpret_cast<const uint8_t*>(stored.get());
  qvx::DescriptionImagePtr loaded = qvx::AdoptImageBytes({bytes, stored->totalSize});
  if (!loaded) __builtin_trap();  // the compiler wrote a block its own loader rejects
  std::vector<uint8_t> selections(loaded->printerFeatureCount);
  qvx::ResolvePrinterSelections(loaded.get(), selections);
  for (unsigned k = 0; k < qvx::kPredefinedFeatureCount; ++k) qvx::GetFeatureDefaultValue(loaded.get(), k);
  return 0;
}
