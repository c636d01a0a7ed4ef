#include "library_state.h"

#include <array>

#include "library_paths.h"

namespace qvx::core::win {

LibraryState& MutableLibraryState() {
  static LibraryState state;
  return state;
}

std::wstring ModulePath(HINSTANCE module) {
  std::array<wchar_t, kMaxModulePath + 1> buffer{};
  const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(kMaxModulePath));
  // A path that fills the buffer was cut: treat it as unknown rather than
  // load something from a wrong folder.
  if (n == 0 || n >= kMaxModulePath) return {};
  return std::wstring(buffer.data(), n);
}

HINSTANCE LibraryModule() {
  const HINSTANCE module = MutableLibraryState().module;
  return module != nullptr ? module : GetModuleHandleW(nullptr);
}

HINSTANCE LanguageLibrary() { return MutableLibraryState().languageLibrary; }

HINSTANCE LanguageModule() {
  const HINSTANCE language = LanguageLibrary();
  return language != nullptr ? language : LibraryModule();
}

bool HelpDataPresent() { return MutableLibraryState().helpDataPresent; }

std::wstring PathBesideLibrary(std::wstring_view fileName) {
  return PathBeside(ModulePath(LibraryModule()), fileName);
}

}  // namespace qvx::core::win
