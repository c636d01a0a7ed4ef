// The command stream file. Bytes go to a temporary file beside the target,
// which is renamed over it only when the job has finished: an interrupted or
// failed run leaves neither a partial file nor a damaged older one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace qvx::print {

class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputFile {
 public:
  explicit OutputFile(const std::string& path);  // throws WriteError
  ~OutputFile();                                 // removes the temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False once a write has failed; the reason is kept for the message.
  bool Write(const void* bytes, size_t count);
  uint64_t bytesWritten() const { return written_; }
  const std::string& failure() const { return failure_; }

  // Flushes, closes and renames onto the target; throws WriteError.
  void Commit();

  // Status a write callback returns to the encoder for a failed write.
  static constexpr int32_t kWriteFailedStatus = -0x5157;
  // The encoder's write callback; context is the OutputFile.
  static int32_t WriteProc(const void* bytes, uint32_t count, void* context);

 private:
  std::string path_;
  std::string temp_;
  FILE* file_ = nullptr;
  uint64_t written_ = 0;
  std::string failure_;
};

// Removes the temporary file of the live OutputFile, from a signal handler.
void RemovePartialOutputNow();

}  // namespace qvx::print
