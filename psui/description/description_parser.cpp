#include "description_image.h"
namespace qvx {
struct ParseContext {};
void ParseContextDeleter::operator()(ParseContext* context) const noexcept { delete context; }
ParseContextPtr ParseDescriptionFile(const std::filesystem::path&) { return nullptr; }
ParseContextPtr ParseDescriptionBuffer(std::span<const uint8_t>) { return nullptr; }
}  // namespace qvx
