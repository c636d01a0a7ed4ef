// PNG previews of what would print: the decoder turns the command stream back
// into pages.
#pragma once

#include <stdexcept>
#include <string>

namespace qvx::print {

class PreviewError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decodes `streamPath` into PNG pages in `dir` (created when missing) with the
// qvxdecode program (`decoder`, or the one beside this tool, or PATH).
// Throws PreviewError.
void WritePreviews(const std::string& streamPath, const std::string& dir, const std::string& decoder);

}  // namespace qvx::print
