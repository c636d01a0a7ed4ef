// Paths of fixtures for tests that run natively and under Wine.
#pragma once
#include <filesystem>
#include <string>

namespace qvx::test {

// Under Wine the Unix file system is drive Z:.
inline std::filesystem::path HostPath(const std::string& unixPath) {
#ifdef _WIN32
  return std::filesystem::path("Z:" + unixPath);
#else
  return std::filesystem::path(unixPath);
#endif
}

inline std::filesystem::path SourcePath(const std::string& rel) {
  return HostPath(std::string(QVX_SOURCE_DIR) + "/" + rel);
}

inline std::filesystem::path SharedPath(const std::string& rel) {
  return HostPath(std::string(QVX_SHARED_DIR) + "/" + rel);
}

inline std::filesystem::path BinaryPath(const std::string& rel) {
  return HostPath(std::string(QVX_BINARY_DIR) + "/" + rel);
}

}  // namespace qvx::test
