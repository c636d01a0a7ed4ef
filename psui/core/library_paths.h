// Files that ship beside QVXUI.DLL (language library, help data, watermark
// and defaults files) are found from the library's own module path.
#pragma once

#include <string>
#include <string_view>

namespace qvx::core {

// Longest module path the library works with, in characters.
inline constexpr std::size_t kMaxModulePath = 260;

// The folder part of modulePath (up to and including its last backslash,
// looking at no more than kMaxModulePath characters) followed by fileName.
// A path without a backslash gives fileName alone.
std::wstring PathBeside(std::wstring_view modulePath, std::wstring_view fileName);

}  // namespace qvx::core
