#include "encoder_host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace qvx::print {

EncoderLibrary::EncoderLibrary(const std::string& path) {
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* why = dlerror();
    throw EncoderError("cannot load the encoder library " + path + ": " + (why ? why : "unknown error"));
  }
  auto bind = [&](auto& fn, const char* name) {
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(handle_, name));
    if (!fn) {
      dlclose(handle_);
      handle_ = nullptr;
      throw EncoderError(path + " does not export " + name);
    }
  };
  bind(init, "QvEncInit");
  bind(reinit, "QvEncReInit");
  bind(pageData, "QvEncPageData");
  bind(exit, "QvEncExit");
  bind(abort, "QvEncAbort");
}

EncoderLibrary::~EncoderLibrary() {
  if (handle_) dlclose(handle_);
}

EncoderJob::EncoderJob(EncoderLibrary& lib, QvEncWriteProc write, void* context) : lib_(lib) {
  // No printer is opened on Linux: the configuration carries an empty name.
  QvEncConfig config{};
  config.size = sizeof config;
  const int32_t status = lib_.init(&handle_, &config, write, context);
  if (status < 0) {
    handle_ = nullptr;
    throw EncoderError("the encoder refused to start the job (status " + std::to_string(status) + ")", status);
  }
}

EncoderJob::~EncoderJob() { Abort(); }

void EncoderJob::PageData(const void* settings, uint32_t settingsSize, const QvEncPageInfo& info,
                          const void* rows) {
  const int32_t status = lib_.pageData(handle_, settings, settingsSize, &info, rows);
  if (status < 0) {
    throw EncoderError("the encoder failed on page " + std::to_string(info.pageId) + " (status " +
                           std::to_string(status) + ")",
                       status);
  }
}

void EncoderJob::Finish() {
  QvEncHandle handle = handle_;
  handle_ = nullptr;
  const int32_t status = lib_.exit(handle);
  if (status < 0) {
    throw EncoderError("the encoder failed to finish the job (status " + std::to_string(status) + ")", status);
  }
}

void EncoderJob::Abort() {
  if (!handle_) return;
  QvEncHandle handle = handle_;
  handle_ = nullptr;
  lib_.abort(handle);
}

std::string ExecutableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

std::string DefaultEncoderPath() {
  const std::filesystem::path dir = ExecutableDir();
  for (const auto& candidate : {dir / "libqvxenc.so", dir / ".." / "lib" / "libqvxenc.so"}) {
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec)) return candidate.lexically_normal().string();
  }
  return "libqvxenc.so";
}

}  // namespace qvx::print
