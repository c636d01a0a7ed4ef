#include "defaults_file.h"

#include <windows.h>

namespace qvx::core::win {

std::filesystem::path DefaultsFilePath() {
  wchar_t folder[MAX_PATH] = {};
  // On a 64-bit system the 32-bit programs' folder is the WOW64 one; a
  // 32-bit system has only the one system folder.
  UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::filesystem::path(std::wstring(folder, length)) / L"QVXDEF.DAT";
}

DefaultsFileValues ReadDefaultsFile() {
  DefaultsFileValues values;
  const std::filesystem::path path = DefaultsFilePath();
  if (path.empty()) return values;
  values.solutionCenter = GetPrivateProfileIntW(L"Default Setting", L"SolutionCenter", 1, path.c_str());
  values.webUpdate = GetPrivateProfileIntW(L"Default Setting", L"WebUpdate", 1, path.c_str());
  return values;
}

}  // namespace qvx::core::win
