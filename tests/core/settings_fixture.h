// Shared setup of the settings tests: a fake platform with one printer and a
// small colour description with papers, trays, duplex and resolutions.
#pragma once

#include <gtest/gtest.h>

#include "platform_fake.h"
#include "settings_defaults.h"
#include "settings_record.h"
#include "test_image.h"

namespace qvx::test {

// 1/256 point from 0.1 mm, as a description would state the size.
constexpr Fixed PaperFixed(int tenthMm) { return static_cast<Fixed>(tenthMm * 18432LL / 254); }

inline TestImage TypicalDescription() {
  TestImage image;
  image
      .Feature(kFeaturePageSize,
               {{"A4", "", "", PaperFixed(2100), PaperFixed(2970)},
                {"Letter", "", "", PaperFixed(2159), PaperFixed(2794)},
                {"A4_BL", "", "A4 (borderless)", PaperFixed(2100), PaperFixed(2970)},
                {"User", "", "", 0, 0}})
      .Feature(kFeaturePaper, {{"A4", "9"}, {"Letter", "1"}, {"A4_BL", "274"}, {"User", "256"}})
      .Feature(kFeatureTray, {{"Feeder", "15"}, {"Tray1", "257"}})
      .Feature(kFeatureDuplex, {{"None", ""}, {"DuplexNoTumble", ""}, {"DuplexTumble", ""}})
      .Feature(kFeatureResolution, {{"300dpi", ""}, {"600dpi", ""}}, 600)
      .Feature(kFeatureCOLOR, {{"Mono", "1"}, {"Color", "2"}}, 1)
      .Feature(kFeatureMediaType, {{"Plain", "0"}, {"Glossy", "3"}})
      .Feature(kFeatureVMOption, {{"Standard", "", ""}}, 0, true);
  return image;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    printer_ = platform_.AddPrinter(u"Test Printer", u"Quorvel Model 05 ", u"C:\\desc.ppd");
    platform_.SetCountry(u"49");
    image_ = description_.Build();
  }

  SettingsRecord Defaults(bool metric = true) {
    SettingsRecord r;
    core::BuildDefaultSettings(r, u"Test Printer", image_, metric, platform_);
    return r;
  }

  core::FakePlatform platform_;
  std::shared_ptr<core::FakePrinterState> printer_;
  TestImage description_ = TypicalDescription();
  const DescriptionImage* image_ = nullptr;
};

}  // namespace qvx::test
