#include "language_text.h"

#include <algorithm>

namespace qvx::lang {

extern const LanguageEntry kLanguageTable[];
extern const size_t kLanguageTableSize;

std::span<const LanguageEntry> LanguageTable() { return {kLanguageTable, kLanguageTableSize}; }

std::optional<std::u16string_view> FindLanguageString(uint32_t id) {
  const auto table = LanguageTable();
  auto it = std::lower_bound(table.begin(), table.end(), id,
                             [](const LanguageEntry& e, uint32_t value) { return e.id < value; });
  if (it == table.end() || it->id != id) return std::nullopt;
  return std::u16string_view(it->text);
}

}  // namespace qvx::lang
