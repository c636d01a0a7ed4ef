#include "library_paths.h"

namespace qvx::core {

std::wstring PathBeside(std::wstring_view modulePath, std::wstring_view fileName) {
  const std::wstring_view head = modulePath.substr(0, kMaxModulePath);
  const std::size_t slash = head.rfind(L'\\');
  std::wstring path;
  if (slash != std::wstring_view::npos) path.assign(head.substr(0, slash + 1));
  path.append(fileName);
  return path;
}

}  // namespace qvx::core
