#include "description_image.h"
namespace qvx {
DescriptionImagePtr CompileDescription(ParseContextPtr, const std::filesystem::path&) { return nullptr; }
}  // namespace qvx
