// Any bytes as a cache file: rejected, or loaded into an image whose every
// reference can be followed (the JSON dump walks all of them).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "description_image.h"
#include "description_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvx::DescriptionImagePtr image = qvx::AdoptImageBytes({data, size});
  if (!image) return 0;
  const std::string json = qvx::DescriptionImageToJson(image.get());
  if (json.empty()) __builtin_trap();
  const unsigned documents = qvx::GetDocumentFeatureCount(image.get());
  const unsigned printers = qvx::GetPrinterFeatureCount(image.get());
  std::vector<uint8_t> printerSelections(printers);
  qvx::ResolvePrinterSelections(image.get(), printerSelections);
  std::vector<uint8_t> documentSelections(documents, 0);
  for (unsigned f = 0; f < documents + printers; ++f) {
    qvx::FindConflict(image.get(), printerSelections, documentSelections, f, 0);
    qvx::GetFeatureDefaultValue(image.get(), f % qvx::kPredefinedFeatureCount);
  }
  return 0;
}
