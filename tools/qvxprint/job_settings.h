// The job's driver settings record: the description's defaults with the
// user's Basic-page choices applied through the core's rules, then prepared
// for printing as the driver prepares every record it hands out.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "band_renderer.h"
#include "description_image.h"
#include "options.h"
#include "settings_record.h"

namespace qvx::print {

class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses and compiles a description file without writing a cache file beside
// it. Throws DescriptionError.
DescriptionImagePtr LoadDescription(const std::string& path);

struct JobSettings {
  SettingsRecord record{};
  int dpi = 600;             // the job resolution the encoder derives
  int paperWidth = 0;        // 0.1 mm, as fed (portrait)
  int paperHeight = 0;
  Turn turn = Turn::None;    // how a landscape page is turned onto the paper
  std::string summary;       // one line for the progress display and docs
};

// Throws UsageError for a choice the rules refuse or a name the description
// does not know, DescriptionError when the description lacks a paper size.
JobSettings BuildJobSettings(const DescriptionImage* image, const Options& options);

}  // namespace qvx::print
