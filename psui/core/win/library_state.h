// Process-wide state of QVXUI.DLL, set up by the library entry.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace qvx::core::win {

struct LibraryState {
  HINSTANCE module = nullptr;
  HINSTANCE languageLibrary = nullptr;
  bool helpDataPresent = false;
};

// Written only by the library entry.
LibraryState& MutableLibraryState();

// Full path of a module, empty when it cannot be had in kMaxModulePath characters.
std::wstring ModulePath(HINSTANCE module);

// This library's module handle (null before attach, e.g. in tests that link
// the core statically: then the executable's module stands in).
HINSTANCE LibraryModule();

// QVXLANG.DLL loaded from beside this library, or null when it is missing.
HINSTANCE LanguageLibrary();

// Where strings and dialogs of the language library are looked up: the
// language library, or this library itself when that is missing.
HINSTANCE LanguageModule();

// QVXHELP.DAT exists beside this library.
bool HelpDataPresent();

// Full path of a file that ships beside this library.
std::wstring PathBesideLibrary(std::wstring_view fileName);

}  // namespace qvx::core::win
