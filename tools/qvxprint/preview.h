// PNG previews of what would print: the decoder turns the command stream back
// into pages.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace qvx::print {

class PreviewError : public std::runtime_error {
 public:
  explicit PreviewError(const std::string& message, bool badStream = false)
      : std::runtime_error(message), badStream_(badStream) {}
  // The decoder refused the stream itself (rather than failing to write).
  bool badStream() const { return badStream_; }

 private:
  bool badStream_;
};

// Decodes `streamPath` into DIR/page-<n>.png and DIR/summary.json (created when missing) with the
// qvxdecode program (`decoder`, or the one beside this tool, or PATH).
// Throws PreviewError. When `interrupted` turns true while the decoder runs,
// the decoder is stopped, the previews it wrote are removed and the call
// returns false.
bool WritePreviews(const std::string& streamPath, const std::string& dir, const std::string& decoder,
                   const std::function<bool()>& interrupted);

}  // namespace qvx::print
