// System services on Linux: plain files under /tmp and no print spooler.
#include "platform.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace qvx::enc {
namespace {

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

void* Platform::Alloc(size_t bytes) { return std::calloc(1, bytes == 0 ? 1 : bytes); }
void Platform::Free(void* block) { std::free(block); }

bool Platform::CommonAppDataFolder(std::u16string& folder) {
  folder = u"/tmp";
  return true;
}

bool Platform::ColourTableFolder(std::u16string&) { return false; }

char16_t Platform::PathSeparator() const { return u'/'; }

bool Platform::PathExists(const std::u16string& path) {
  struct stat st;
  return ::stat(ToUtf8(path).c_str(), &st) == 0;
}

bool Platform::CreateFolder(const std::u16string& path) {
  return ::mkdir(ToUtf8(path).c_str(), 0777) == 0;
}

bool Platform::GrantEveryoneAccess(const std::u16string& path) {
  return ::chmod(ToUtf8(path).c_str(), 0777) == 0;
}

bool Platform::TempFileName(const std::u16string& folder, const std::u16string& prefix,
                            std::u16string& path) {
  // Like the Windows service: a four-digit hex number, tried until a name is
  // free; the file is created so that the name stays ours.
  unsigned start = static_cast<unsigned>(::getpid() ^ std::time(nullptr)) & 0xFFFF;
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned n = (start + i) & 0xFFFF;
    if (n == 0) continue;
    char number[8];
    std::snprintf(number, sizeof number, "%04X", n);
    std::u16string candidate = folder + u"/" + prefix;
    for (const char* p = number; *p; ++p) candidate += static_cast<char16_t>(*p);
    candidate += u".tmp";
    int fd = ::open(ToUtf8(candidate).c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      path = candidate;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

FileId Platform::CreateNewFile(const std::u16string& path) {
  int fd = ::open(ToUtf8(path).c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, 0600);
  return fd < 0 ? kNoFile : fd;
}

FileId Platform::OpenForReading(const std::u16string& path) {
  int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
  return fd < 0 ? kNoFile : fd;
}

int64_t Platform::WriteFile(FileId file, const void* bytes, uint32_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(file), p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : -1;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

int64_t Platform::ReadFile(FileId file, void* bytes, uint32_t count) {
  auto* p = static_cast<uint8_t*>(bytes);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::read(static_cast<int>(file), p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done > 0 ? done : -1;
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

bool Platform::Seek(FileId file, int64_t position) {
  return ::lseek(static_cast<int>(file), position, SEEK_SET) == position;
}

int64_t Platform::Tell(FileId file) { return ::lseek(static_cast<int>(file), 0, SEEK_CUR); }

void Platform::CloseFile(FileId file) { ::close(static_cast<int>(file)); }

bool Platform::RemoveFile(const std::u16string& path) {
  return ::unlink(ToUtf8(path).c_str()) == 0;
}

// No print spooler here: the name is kept in the configuration and nothing is opened.
uintptr_t Platform::OpenPrinterByName(const char16_t*, bool) { return 0; }
bool Platform::GetPrinterInfo(uintptr_t, std::vector<uint8_t>&) { return false; }
void Platform::ClosePrinter(uintptr_t) {}

Platform& SystemPlatform() {
  static Platform platform;
  return platform;
}

}  // namespace qvx::enc
