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

int64_t ReadFilePrefix(const std::filesystem::path& path, std::span<uint8_t> buffer, bool& whole) noexcept {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  size_t done = 0;
  bool ok = true;
  whole = false;
  while (done < buffer.size()) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(buffer.size() - done, 1u << 30));
    if (!ReadFile(file, buffer.data() + done, chunk, &read, nullptr)) {
      ok = false;
      break;
    }
    if (read == 0) {
      whole = true;
      break;
    }
    done += read;
  }
  if (ok && !whole) {  // exactly full: whole only when nothing follows
    uint8_t probe;
    DWORD read = 0;
    whole = ReadFile(file, &probe, 1, &read, nullptr) && read == 0;
  }
  CloseHandle(file);
  return ok ? static_cast<int64_t>(done) : -1;
}

void* ReadFileIntoImageBlock(const std::filesystem::path& path, size_t maxSize, size_t& size) noexcept {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  void* block = nullptr;
  LARGE_INTEGER length{};
  if (GetFileSizeEx(file, &length) && length.QuadPart > 0 &&
      static_cast<unsigned long long>(length.QuadPart) <= maxSize) {
    size = static_cast<size_t>(length.QuadPart);
    block = AllocateImageBlock(size);
    size_t done = 0;
    while (block && done < size) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
      DWORD read = 0;
      if (!ReadFile(file, static_cast<uint8_t*>(block) + done, chunk, &read, nullptr) || read == 0) {
        FreeImageBlock(block);
        block = nullptr;
        break;
      }
      done += read;
    }
  }
  CloseHandle(file);
  return block;
}

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

int64_t ReadFilePrefix(const std::filesystem::path& path, std::span<uint8_t> buffer, bool& whole) noexcept {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  size_t done = 0;
  bool ok = true;
  whole = false;
  while (done < buffer.size()) {
    const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) {
      whole = true;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (ok && !whole) {
    uint8_t probe;
    whole = ::read(fd, &probe, 1) == 0;
  }
  ::close(fd);
  return ok ? static_cast<int64_t>(done) : -1;
}

void* ReadFileIntoImageBlock(const std::filesystem::path& path, size_t maxSize, size_t& size) noexcept {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  void* block = nullptr;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 && static_cast<uint64_t>(st.st_size) <= maxSize) {
    size = static_cast<size_t>(st.st_size);
    block = std::malloc(size);
    size_t done = 0;
    while (block && done < size) {
      const ssize_t n = ::read(fd, static_cast<uint8_t*>(block) + done, size - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {  // error, or the file shrank under us
        std::free(block);
        block = nullptr;
        break;
      }
      done += static_cast<size_t>(n);
    }
  }
  ::close(fd);
  return block;
}

void FreeImageBlock(void* block) noexcept { std::free(block); }

#endif

}  // namespace qvx
