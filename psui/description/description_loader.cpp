#include "description_file_access.h"
#include "description_image.h"
namespace qvx {
void FreeDescriptionImage(DescriptionImage* image) noexcept { FreeImageBlock(image); }
bool RelocateImage(DescriptionImage*, size_t) noexcept { return false; }
DescriptionImagePtr AdoptImageBytes(std::span<const uint8_t>) { return nullptr; }
std::filesystem::path CacheFilePathFor(const std::filesystem::path& p) { return p; }
DescriptionImagePtr LoadDescriptionImage(const std::filesystem::path&) { return nullptr; }
}  // namespace qvx
