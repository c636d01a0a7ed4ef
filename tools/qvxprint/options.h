// qvxprint's command line: what the user asks for, before the description
// file gives the names their codes.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvx::print {

// Exit codes (documented in --help and docs/PRINT.md).
enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,       // internal failure, out of memory
  kExitUsage = 2,         // unknown, missing or conflicting options
  kExitUnreadable = 3,    // input missing, unreadable or damaged
  kExitUnsupported = 4,   // input of a kind qvxprint does not print
  kExitWrite = 5,         // output or preview could not be written
  kExitEncoder = 6,       // encoder library missing or a job step failed
  kExitDescription = 7,   // printer description unreadable or lacking what was asked
  kExitInterrupted = 130  // SIGINT or SIGTERM; partial output removed
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Quality { Draft, Normal, High, Best };

struct Options {
  std::string input;
  std::string output;
  std::string ppd;         // empty: the bundled example model
  std::string previewDir;  // empty: no preview
  std::string encoder;     // empty: libqvxenc.so beside the tool, then the library path
  std::string decoder;     // empty: qvxdecode beside the tool, then PATH

  std::optional<std::string> media;  // description keyword or code
  std::optional<Quality> quality;
  std::optional<std::string> paper;  // description keyword or code
  std::optional<int> customWidth;    // 0.1 mm
  std::optional<int> customHeight;
  bool borderless = false;
  std::optional<bool> landscape;
  std::optional<bool> color;
  std::optional<int> copies;
  bool collate = false;
  bool reverse = false;
  std::optional<bool> progress;  // default: when stderr is a terminal
  bool timing = false;           // one line of time figures on stderr at the end

  bool help = false;
  bool version = false;
};

// Throws UsageError with a message fit for the user.
Options ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();

const char* QualityName(Quality q);
// qualityCode of the settings record: draft -1 ... best -4.
int QualityCode(Quality q);

}  // namespace qvx::print
