#include "job_settings.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "basic_rules.h"
#include "platform_fake.h"
#include "print_mode.h"
#include "settings_defaults.h"
#include "settings_merge.h"

namespace qvx::print {
namespace {

// Custom paper limits in 0.1 mm beyond the record's own minimums.
constexpr int kCustomMaxWidth = 2159;
constexpr int kCustomMaxHeight = 3556;
constexpr int kCustomPaper = 256;

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::optional<int> LeadingInt(const char* text) {
  if (!text) return std::nullopt;
  int value = 0;
  const char* end = text + std::strlen(text);
  while (text < end && std::isspace(static_cast<unsigned char>(*text))) ++text;
  const auto [ptr, ec] = std::from_chars(text, end, value);
  if (ec != std::errc() || ptr == text) return std::nullopt;
  return value;
}

struct Choice {
  int code;
  std::string name;
};

// A name of the feature's option list (any case) or one of its codes. The
// code of an option is the number its value text starts with.
Choice ResolveOption(const DescriptionImage* image, unsigned featureIndex, const std::string& what,
                     const std::string& text) {
  const FeatureRecord* feature = image ? GetFeature(image, featureIndex) : nullptr;
  std::string known;
  const std::optional<int> number = LeadingInt(text.c_str());
  const bool numeric = number && std::to_string(*number) == text;
  if (feature) {
    for (unsigned i = 0, n = CountOptions(feature); i < n; ++i) {
      const OptionRecord* option = GetOption(feature, i);
      if (!option || !option->name) continue;
      const std::string_view name = option->name.get();
      const std::optional<int> code = LeadingInt(option->invocation ? option->invocation.get() : nullptr);
      if (!code) continue;
      if (EqualsNoCase(name, text) || (numeric && *code == *number)) return {*code, std::string(name)};
      known += (known.empty() ? "" : ", ") + std::string(name);
    }
  }
  if (known.empty()) throw UsageError("the printer description offers no " + what + " choices");
  throw UsageError("unknown " + what + " '" + text + "'; the description offers: " + known);
}

// Name of the option of `featureIndex` whose code is `code`.
std::string OptionNameForCode(const DescriptionImage* image, unsigned featureIndex, int code) {
  const FeatureRecord* feature = image ? GetFeature(image, featureIndex) : nullptr;
  if (!feature) return {};
  for (unsigned i = 0, n = CountOptions(feature); i < n; ++i) {
    const OptionRecord* option = GetOption(feature, i);
    if (option && option->name && LeadingInt(option->invocation ? option->invocation.get() : nullptr) == code) {
      return option->name.get();
    }
  }
  return {};
}

std::string RefusalText(core::Refusal refusal, const std::string& choice) {
  switch (refusal) {
    case core::Refusal::None: return {};
    case core::Refusal::BorderlessConflict:
      return choice + " conflicts with borderless printing (borderless needs a quality above draft and a media other than 4 or 5)";
    case core::Refusal::QualityNotOffered: return choice + " is not offered for this media";
    case core::Refusal::MediaWithoutQuality: return choice + " has no print quality in this driver";
    case core::Refusal::BorderlessNotOffered: return choice + ": this paper has no borderless size";
  }
  return choice + " is refused";
}

void Require(core::Refusal refusal, const std::string& choice) {
  if (refusal != core::Refusal::None) throw UsageError(RefusalText(refusal, choice));
}

// The paper's size from the description: the PageSize option that bears the
// Paper option's name.
std::pair<int, int> PaperSizeTenthsMm(const DescriptionImage* image, const std::string& paperName, int code) {
  const FeatureRecord* pageSize = image ? GetFeature(image, kFeaturePageSize) : nullptr;
  const int position = pageSize && !paperName.empty() ? FindOptionPosition(pageSize, paperName) : -1;
  if (position < 0) {
    throw DescriptionError("the printer description gives no size for paper " +
                           (paperName.empty() ? std::to_string(code) : paperName));
  }
  const auto* option = reinterpret_cast<const PaperOption*>(GetOption(pageSize, static_cast<unsigned>(position)));
  // 1/256 point to 0.1 mm.
  auto tenths = [](Fixed v) { return static_cast<int>(std::lround(v / 256.0 * 254.0 / 72.0)); };
  if (!option || option->width <= 0 || option->height <= 0) {
    throw DescriptionError("the printer description gives no size for paper " + paperName);
  }
  return {tenths(option->width), tenths(option->height)};
}

}  // namespace

DescriptionImagePtr LoadDescription(const std::string& path) {
  ParseContextPtr context = ParseDescriptionFile(path);
  if (!context) throw DescriptionError(path + ": cannot read the printer description");
  DescriptionImagePtr image = CompileDescription(std::move(context), path);
  if (!image || !RelocateImage(image.get(), image->totalSize)) {
    throw DescriptionError(path + ": cannot compile the printer description");
  }
  return image;
}

JobSettings BuildJobSettings(const DescriptionImage* image, const Options& o) {
  JobSettings job;
  core::FakePlatform platform;
  SettingsRecord defaults{};
  core::BuildDefaultSettings(defaults, u"QVX", image, /*metric=*/true, platform);
  // The user's choices go into a copy, the way an application's record is
  // made, and are then merged into the defaults as the driver merges.
  SettingsRecord user = defaults;
  SettingsRecord& r = user;

  if (o.color) r.dm.dmColor = *o.color ? 2 : 1;
  std::string mediaName = OptionNameForCode(image, kFeatureMediaType, r.mediaType);
  if (o.media) {
    const Choice media = ResolveOption(image, kFeatureMediaType, "media type", *o.media);
    mediaName = media.name;
    Require(core::ChooseMedia(r, media.code), "media " + media.name);
  }
  if (o.quality) {
    Require(core::ChooseQuality(r, QualityCode(*o.quality)),
            std::string("quality ") + QualityName(*o.quality) + " on media " + mediaName);
  }

  std::string paperName;
  if (o.customWidth) {
    const int w = *o.customWidth, h = *o.customHeight;
    if (w < r.privSize420 || w > kCustomMaxWidth || h < r.privSize418 || h > kCustomMaxHeight) {
      throw UsageError("custom size must be " + std::to_string(r.privSize420 / 10.0).substr(0, 4) + " to 215.9 mm wide and " +
                       std::to_string(r.privSize418 / 10.0).substr(0, 5) + " to 355.6 mm high");
    }
    r.customWidth = static_cast<uint16_t>(w);
    r.customHeight = static_cast<uint16_t>(h);
    r.dm.dmPaperWidth = static_cast<int16_t>(w);
    r.dm.dmPaperLength = static_cast<int16_t>(h);
    r.fitWidth = static_cast<uint16_t>(w);
    r.fitHeight = static_cast<uint16_t>(h);
    r.dm.dmFields |= dm::kPaperWidth | dm::kPaperLength;
    Require(core::ChoosePaper(r, kCustomPaper), "custom paper");
    job.paperWidth = w;
    job.paperHeight = h;
    paperName = "custom";
  } else {
    int code = r.dm.dmPaperSize;
    if (o.paper) {
      const Choice paper = ResolveOption(image, kFeaturePaper, "paper", *o.paper);
      code = paper.code;
      Require(core::ChoosePaper(r, code), "paper " + paper.name);
    }
    if (o.borderless) {
      Require(core::SwitchBorderless(r, true), "borderless printing");
      code = r.dm.dmPaperSize;
    }
    paperName = OptionNameForCode(image, kFeaturePaper, code);
    std::tie(job.paperWidth, job.paperHeight) = PaperSizeTenthsMm(image, paperName, code);
  }

  const bool landscape = o.landscape.value_or(false);
  r.dm.dmOrientation = landscape ? 2 : 1;
  r.dm.dmFields |= dm::kCopies | dm::kCollate | dm::kPrintQuality;
  if (o.copies) r.dm.dmCopies = static_cast<int16_t>(*o.copies);
  if (o.collate) {
    r.collateFlag = 1;
    r.collateJob = 1;
    r.dm.dmCollate = 1;
  }
  if (o.reverse) {
    r.reverseOrder = 1;
    r.reverseJob = 1;
  }
  job.record = defaults;
  if (!core::MergeSettings(job.record, &user, sizeof user, nullptr, image, platform)) {
    throw DescriptionError("the driver core refused the job's settings record");
  }
  const SettingsRecord& merged = job.record;

  // Render at the resolution the encoder will derive from this record.
  job.dpi = enc::ResolutionForPreset(enc::QualityPreset(merged.mediaType, merged.qualityCode));
  const bool turned = merged.dm.dmOrientation == 2;
  job.turn = !turned ? Turn::None : (merged.privHeaderWord & 0x200) ? Turn::Quarter : Turn::ThreeQuarters;
  job.summary = (mediaName.empty() ? "media " + std::to_string(merged.mediaType) : mediaName) + ", " + paperName +
                (turned ? " landscape" : "") + ", " + std::to_string(job.dpi) + " dpi, " +
                (merged.dm.dmColor == 2 ? "colour" : "mono");
  return job;
}

}  // namespace qvx::print
