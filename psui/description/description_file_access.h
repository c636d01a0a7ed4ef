// The little the description code needs from the operating system: read a whole
// file through a mapping, replace a file's contents, and allocate the image block.
// Windows uses wide paths with CreateFile and a file mapping; elsewhere ordinary
// POSIX files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

namespace qvx {

// A read-only view of a whole file. An empty file gives an empty view.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // False when the file cannot be opened (shared read) or mapped.
  bool Open(const std::filesystem::path& path) noexcept;
  bool IsOpen() const noexcept { return open_; }
  std::span<const uint8_t> Bytes() const noexcept { return {data_, size_}; }

 private:
  void Close() noexcept;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  bool open_ = false;
#ifdef _WIN32
  void* file_ = nullptr;     // HANDLE
  void* mapping_ = nullptr;  // HANDLE
#else
  int fd_ = -1;
#endif
};

// Creates or replaces the file (no sharing while it is written). False on failure.
bool WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) noexcept;

// Reads a whole file into a new image block (see AllocateImageBlock); null when it
// cannot be read or is larger than maxSize. One read, no mapping: this is the
// cache file's fast path.
void* ReadFileIntoImageBlock(const std::filesystem::path& path, size_t maxSize, size_t& size) noexcept;

// Reads the start of a file into `buffer`; returns the number of bytes read, or -1
// when the file cannot be opened or read. `whole` tells whether that is the file.
int64_t ReadFilePrefix(const std::filesystem::path& path, std::span<uint8_t> buffer, bool& whole) noexcept;

// Zero-filled block for an image (fixed global memory on Windows); null on failure.
void* AllocateImageBlock(size_t size) noexcept;
void FreeImageBlock(void* block) noexcept;

}  // namespace qvx
