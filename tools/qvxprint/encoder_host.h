// Loads the encoder library and drives one job through its exports, the way
// the rendering filter of the print path does.
#pragma once

#include <qvenc.h>

#include <stdexcept>
#include <string>

namespace qvx::print {

class EncoderError : public std::runtime_error {
 public:
  EncoderError(const std::string& message, int32_t status = 0)
      : std::runtime_error(message), status_(status) {}
  int32_t status() const { return status_; }

 private:
  int32_t status_;
};

class EncoderLibrary {
 public:
  // Throws EncoderError when the library or one of its exports is missing.
  explicit EncoderLibrary(const std::string& path);
  ~EncoderLibrary();
  EncoderLibrary(const EncoderLibrary&) = delete;
  EncoderLibrary& operator=(const EncoderLibrary&) = delete;

  decltype(&QvEncInit) init = nullptr;
  decltype(&QvEncReInit) reinit = nullptr;
  decltype(&QvEncPageData) pageData = nullptr;
  decltype(&QvEncExit) exit = nullptr;
  decltype(&QvEncAbort) abort = nullptr;

 private:
  void* handle_ = nullptr;
};

// One job: QvEncInit in the constructor, QvEncExit by Finish, QvEncAbort when
// destroyed unfinished (an error or an interruption).
class EncoderJob {
 public:
  EncoderJob(EncoderLibrary& lib, QvEncWriteProc write, void* context);
  ~EncoderJob();
  EncoderJob(const EncoderJob&) = delete;
  EncoderJob& operator=(const EncoderJob&) = delete;

  // Throws EncoderError carrying the negative status.
  void PageData(const void* settings, uint32_t settingsSize, const QvEncPageInfo& info, const void* rows);
  void Finish();
  void Abort();

 private:
  EncoderLibrary& lib_;
  QvEncHandle handle_ = nullptr;
};

// The default place of the library: beside the tool's own build or install
// folder (../lib/libqvxenc.so), else the plain name for the loader's search.
std::string DefaultEncoderPath();
// Folder of the running executable.
std::string ExecutableDir();

}  // namespace qvx::print
