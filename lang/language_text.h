// The texts of the language library without the library: the same
// STRINGTABLE entries, compiled into a table at build time. For code that
// runs where QVXLANG.DLL cannot be loaded (the Linux tools, native tests).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qvx::lang {

struct LanguageEntry {
  uint32_t id;
  const char16_t* text;
};

// Every entry, sorted by id.
std::span<const LanguageEntry> LanguageTable();

// The text of string `id`; nullopt when the language library has none.
std::optional<std::u16string_view> FindLanguageString(uint32_t id);

}  // namespace qvx::lang
