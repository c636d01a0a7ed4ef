// Paths as the image stores them (UTF-16) and compares them.
#pragma once

#include <filesystem>
#include <string>

namespace qvx {

// The path as UTF-16 (on Windows its own characters; elsewhere decoded from UTF-8,
// bytes that are not UTF-8 kept as single code units).
std::u16string PathToUtf16(const std::filesystem::path& path);

// The part after the last backslash or slash.
std::u16string_view FileNamePart(std::u16string_view path) noexcept;

// ASCII case-insensitive equality.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace qvx
