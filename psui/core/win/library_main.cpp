// Library entry of QVXUI.DLL: keeps the library loaded for the life of the
// process, loads the language library from the same folder and probes for
// the help data file. The description image cache is a process-wide object
// of its own (cache.h); detach empties it.
#include <windows.h>

#include "cache.h"
#include "library_paths.h"
#include "library_state.h"

namespace qvx::core::win {
namespace {

bool FileExists(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void Attach(HINSTANCE module) {
  LibraryState& state = MutableLibraryState();
  state.module = module;
  const std::wstring self = ModulePath(module);
  if (self.empty()) return;
  // One more reference on ourselves: the spooler and applications unload and
  // reload drivers freely, and the cached image and the language library are
  // meant to live as long as the process.
  LoadLibraryW(self.c_str());
  state.languageLibrary = LoadLibraryW(PathBeside(self, L"QVXLANG.DLL").c_str());
  state.helpDataPresent = FileExists(PathBeside(self, L"QVXHELP.DAT"));
}

void Detach(bool processTerminating) {
  // At process end other threads are already gone, possibly while holding
  // the cache lock, and the system reclaims everything: touch nothing.
  if (processTerminating) return;
  LibraryState& state = MutableLibraryState();
  if (state.languageLibrary != nullptr) {
    FreeLibrary(state.languageLibrary);
    state.languageLibrary = nullptr;
  }
  ProcessDescriptionCache().Clear();
}

}  // namespace
}  // namespace qvx::core::win

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      qvx::core::win::Attach(module);
      break;
    case DLL_PROCESS_DETACH:
      qvx::core::win::Detach(reserved != nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}
