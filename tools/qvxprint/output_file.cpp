#include "output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace qvx::print {
namespace {

// The temporary name, kept where a signal handler may read it.
char g_tempPath[4096];
std::atomic<bool> g_tempLive{false};

}  // namespace

OutputFile::OutputFile(const std::string& path) : path_(path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) throw WriteError(path + ": is a folder");
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  if (pattern.size() >= sizeof g_tempPath) throw WriteError(path + ": path too long");
  const int fd = mkstemp(pattern.data());
  if (fd < 0) throw WriteError(path + ": cannot create the output: " + std::strerror(errno));
  temp_ = pattern;
  file_ = fdopen(fd, "wb");
  if (!file_) {
    const int err = errno;
    close(fd);
    unlink(temp_.c_str());
    throw WriteError(path + ": cannot create the output: " + std::strerror(err));
  }
  std::memcpy(g_tempPath, temp_.c_str(), temp_.size() + 1);
  g_tempLive = true;
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
  if (!temp_.empty()) {
    g_tempLive = false;
    unlink(temp_.c_str());
  }
}

bool OutputFile::Write(const void* bytes, size_t count) {
  if (!failure_.empty()) return false;
  if (count && std::fwrite(bytes, 1, count, file_) != count) {
    failure_ = path_ + ": write failed: " + std::strerror(errno);
    return false;
  }
  written_ += count;
  return true;
}

int32_t OutputFile::WriteProc(const void* bytes, uint32_t count, void* context) {
  return static_cast<OutputFile*>(context)->Write(bytes, count) ? 0 : kWriteFailedStatus;
}

void OutputFile::Commit() {
  if (!failure_.empty()) throw WriteError(failure_);
  // Make the stream private-to-public like any new file (mkstemp gives 0600).
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fileno(file_), 0666 & ~mask);
  const bool flushed = std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
  const int err = errno;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) throw WriteError(path_ + ": write failed: " + std::strerror(err));
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    throw WriteError(path_ + ": cannot replace the output: " + std::strerror(errno));
  }
  g_tempLive = false;
  temp_.clear();
}

void RemovePartialOutputNow() {
  if (g_tempLive) unlink(g_tempPath);
}

}  // namespace qvx::print
