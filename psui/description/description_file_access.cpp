#include "description_file_access.h"

#include <algorithm>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

namespace qvx {

MappedFile::~MappedFile() { Close(); }

MappedFile::MappedFile(MappedFile&& other) noexcept { *this = std::move(other); }

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Close();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    open_ = std::exchange(other.open_, false);
#ifdef _WIN32
    file_ = std::exchange(other.file_, nullptr);
    mapping_ = std::exchange(other.mapping_, nullptr);
#else
    fd_ = std::exchange(other.fd_, -1);
#endif
  }
  return *this;
}

#ifdef _WIN32

bool MappedFile::Open(const std::filesystem::path& path) noexcept {
  Close();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = file;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0 ||
      static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
    Close();
    return false;
  }
  size_ = static_cast<size_t>(size.QuadPart);
  if (size_ > 0) {  // a mapping of an empty file cannot be created
    mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping_) {
      Close();
      return false;
    }
    data_ = static_cast<const uint8_t*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
    if (!data_) {
      Close();
      return false;
    }
  }
  open_ = true;
  return true;
}

void MappedFile::Close() noexcept {
  if (data_) UnmapViewOfFile(data_);
  if (mapping_) CloseHandle(mapping_);
  if (file_) CloseHandle(file_);
  data_ = nullptr;
  mapping_ = nullptr;
  file_ = nullptr;
  size_ = 0;
  open_ = false;
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) noexcept {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
    done += written;
  }
  ok = CloseHandle(file) && ok;
  return ok;
}

void* AllocateImageBlock(size_t size) noexcept { return GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size); }

void FreeImageBlock(void* block) noexcept {
  if (block) GlobalFree(block);
}

#else

bool MappedFile::Open(const std::filesystem::path& path) noexcept {
  Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  fd_ = fd;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return false;
  }
  size_ = static_cast<size_t>(st.st_size);
  if (size_ > 0) {
    void* view = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
      Close();
      return false;
    }
    data_ = static_cast<const uint8_t*>(view);
  }
  open_ = true;
  return true;
}

void MappedFile::Close() noexcept {
  if (data_) munmap(const_cast<uint8_t*>(data_), size_);
  if (fd_ >= 0) ::close(fd_);
  data_ = nullptr;
  fd_ = -1;
  size_ = 0;
  open_ = false;
}

bool WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) noexcept {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  size_t done = 0;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = (::close(fd) == 0) && ok;
  return ok;
}

void* AllocateImageBlock(size_t size) noexcept { return std::calloc(1, size); }

void FreeImageBlock(void* block) noexcept { std::free(block); }

#endif

}  // namespace qvx
