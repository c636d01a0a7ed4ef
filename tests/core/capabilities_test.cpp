// Device capability answers from the description and the effective record.
#include <gtest/gtest.h>

#include <vector>

#include "capabilities.h"
#include "settings_fixture.h"

namespace qvx::test {
namespace {

using core::kCapabilityError;
namespace dc = core::dc;

class CapabilitiesTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    printer_->forms = std::vector<core::FormInfo>{{core::kFormBuiltin, u"A4", 210000, 297000}};
    platform_.languageStrings = {{1200, u"A4 210 x 297 mm"}, {1201, u"Letter"}, {1271, u"Sheet feeder"},
                                 {1272, u"Cassette 1"}, {1273, u"Cassette 2"}};
  }

  uint32_t Ask(uint16_t index, void* output = nullptr, const SettingsRecord* record = nullptr) {
    core::FakePrinter printer(printer_);
    return core::QueryDeviceCapabilities(platform_, printer, image_, u"Test Printer", index, output, record,
                                         record ? sizeof *record : 0);
  }
};

TEST_F(CapabilitiesTest, AnswersFromTheEffectiveRecord) {
  SettingsRecord record = Defaults();
  record.dm.dmScale = 50;
  record.scaleEnabled = 1;
  record.privHeaderWord |= 0x200;
  struct Case {
    uint16_t index;
    uint32_t expected;
  };
  const Case cases[] = {
      {dc::kSize, 220},          {dc::kExtra, 2156},       {dc::kVersion, 0x0401},  {dc::kDriver, 0x0503},
      {dc::kCopies, 999},        {dc::kStaple, 0},         {dc::kDuplex, 1},        {dc::kMinExtent, 0x04F60379},
      {dc::kMaxExtent, 0x0DE4086F}, {dc::kOrientation, 90}, {dc::kBinAdjust, 2},     {dc::kColorDevice, 1},
      {dc::kTrueType, 1},        {dc::kCollate, 1},        {13, kCapabilityError},  {0, kCapabilityError},
      {31, kCapabilityError},
  };
  for (const Case& c : cases) EXPECT_EQ(Ask(c.index, nullptr, &record), c.expected) << "index " << c.index;
  EXPECT_EQ(Ask(dc::kFields, nullptr, &record) & dm::kScale, dm::kScale);
  EXPECT_EQ(Ask(dc::kOrientation), 270u) << "defaults without a record";
  EXPECT_EQ(Ask(dc::kBinAdjust), 1u);
}

TEST_F(CapabilitiesTest, PaperListsAndTheCustomSize) {
  std::vector<uint16_t> codes(4);
  ASSERT_EQ(Ask(dc::kPapers, codes.data()), 4u);
  EXPECT_EQ(codes, (std::vector<uint16_t>{9, 1, 274, 256}));

  SettingsRecord record = Defaults();
  record.customWidth = 1234;
  record.customHeight = 2345;
  std::vector<int32_t> sizes(8);
  ASSERT_EQ(Ask(dc::kPaperSize, sizes.data(), &record), 4u);
  EXPECT_NEAR(sizes[0], 2100, 1);
  EXPECT_NEAR(sizes[1], 2970, 1);
  EXPECT_NEAR(sizes[2], 2159, 1);
  EXPECT_EQ(sizes[6], 1234) << "value 256 reports the record's custom size";
  EXPECT_EQ(sizes[7], 2345);

  std::vector<char16_t> names(4 * core::kPaperNameChars, u'?');
  ASSERT_EQ(Ask(dc::kPaperNames, names.data()), 4u);
  EXPECT_EQ(std::u16string(names.data()), u"A4 210 x 297 mm");
  EXPECT_EQ(std::u16string(names.data() + 64), u"Letter");
  EXPECT_EQ(names[2 * 64], u'\0') << "a name without a string is empty";
  EXPECT_EQ(names.back(), u'\0');
}

TEST_F(CapabilitiesTest, PaperIndexesNeedSpoolerForms) {
  printer_->forms = std::vector<core::FormInfo>{};
  for (uint16_t index : {dc::kPapers, dc::kPaperSize, dc::kMinExtent, dc::kMaxExtent, dc::kPaperNames,
                         dc::kMediaReady}) {
    EXPECT_EQ(Ask(index), kCapabilityError) << index;
  }
  printer_->forms.reset();
  EXPECT_EQ(Ask(dc::kPapers), kCapabilityError);
  EXPECT_EQ(Ask(dc::kBins), 2u) << "other indexes do not ask for forms";
}

TEST_F(CapabilitiesTest, BinsAndTheirNames) {
  std::vector<uint16_t> bins(2);
  ASSERT_EQ(Ask(dc::kBins, bins.data()), 2u);
  EXPECT_EQ(bins, (std::vector<uint16_t>{15, 257}));
  std::vector<char16_t> names(2 * core::kBinNameChars, u'?');
  ASSERT_EQ(Ask(dc::kBinNames, names.data()), 2u);
  EXPECT_EQ(std::u16string(names.data()), u"Sheet feeder");
  EXPECT_EQ(std::u16string(names.data() + 24), u"Cassette 1");
}

TEST_F(CapabilitiesTest, DescriptionWithoutPapersOrTrays) {
  TestImage bare;
  bare.Feature(kFeaturePageSize, {{"A4", "", "", PaperFixed(2100), PaperFixed(2970)}});
  image_ = bare.Build();
  uint16_t untouched[2] = {0xAAAA, 0xAAAA};
  for (uint16_t index : {dc::kPapers, dc::kPaperSize, dc::kPaperNames, dc::kBins, dc::kBinNames}) {
    EXPECT_EQ(Ask(index, untouched), 0u) << index;
  }
  EXPECT_EQ(untouched[0], 0xAAAA) << "nothing is written";
  EXPECT_EQ(Ask(dc::kDuplex), 0u);
}

TEST_F(CapabilitiesTest, FileDependenciesAndNullOutput) {
  char16_t list[2] = {u'x', u'x'};
  EXPECT_EQ(Ask(dc::kFileDependencies, list), 0u);
  EXPECT_EQ(list[0], u'\0');
  EXPECT_EQ(Ask(dc::kFileDependencies), 0u);
  core::FakePrinter printer(printer_);
  EXPECT_EQ(core::QueryDeviceCapabilities(platform_, printer, nullptr, u"x", dc::kSize, nullptr, nullptr, 0),
            kCapabilityError);
}

TEST(PaperNames, TableLookupIsExact) {
  EXPECT_EQ(core::PaperNameStringId("A4"), 1200u);
  EXPECT_EQ(core::PaperNameStringId("Index_Card_BL"), 1347u);
  EXPECT_EQ(core::PaperNameStringId("HAGAKI"), 1300u);
  EXPECT_EQ(core::PaperNameStringId("a4"), 0u);
  EXPECT_EQ(core::PaperNameStringId(""), 0u);
}

}  // namespace
}  // namespace qvx::test
