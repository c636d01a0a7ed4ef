#include "preview.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "encoder_host.h"

extern char** environ;

namespace qvx::print {
namespace {

std::string FindDecoder(const std::string& given) {
  if (!given.empty()) return given;
  const std::filesystem::path beside = std::filesystem::path(ExecutableDir()) / "qvxdecode";
  std::error_code ec;
  if (std::filesystem::exists(beside, ec)) return beside.string();
  return "qvxdecode";
}

}  // namespace

// Removes what the decoder writes: page-<n>.png and summary.json.
void RemovePreviews(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name == "summary.json" || (name.rfind("page-", 0) == 0 && entry.path().extension() == ".png")) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
}

bool WritePreviews(const std::string& streamPath, const std::string& dir, const std::string& decoder,
                   const std::function<bool()>& interrupted) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw PreviewError(dir + ": cannot create the preview folder: " + ec.message());

  const std::string program = FindDecoder(decoder);
  const std::filesystem::path folder(dir);
  std::vector<std::string> args = {program, "--png", (folder / "page").string(), "--json",
                                   (folder / "summary.json").string(), streamPath};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
  if (rc != 0) throw PreviewError("cannot run the decoder " + program + ": " + std::strerror(rc));
  int status = 0;
  bool stopped = false;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw PreviewError("lost the decoder " + program + ": " + std::strerror(errno));
    if (!stopped && interrupted()) {
      kill(pid, SIGTERM);
      stopped = true;
    }
  }
  if (stopped || interrupted()) {
    RemovePreviews(folder);
    return false;
  }
  // The decoder says 1 for a stream it cannot decode: the job went wrong, not
  // the preview.
  if (WIFEXITED(status) && WEXITSTATUS(status) == 1) {
    throw PreviewError("the command stream " + streamPath + " does not decode (see " +
                           (folder / "summary.json").string() + ")",
                       true);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw PreviewError("the decoder could not preview " + streamPath + " (" + program + " exit status " +
                       std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)) + ")");
  }
  return true;
}

}  // namespace qvx::print
