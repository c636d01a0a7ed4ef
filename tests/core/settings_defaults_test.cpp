#include <gtest/gtest.h>

#include <string>

#include "settings_fixture.h"

namespace qvx::test {
namespace {

using core::RegistryRoot;
using core::StringSource;

std::u16string Text(const char16_t* field, size_t n) { return std::u16string(core::FieldText(field, n)); }

TEST(MetricCountry, LetterCountriesAndFallback) {
  struct Case {
    const char16_t* code;  // nullptr: value missing
    bool metric;
  };
  const Case cases[] = {
      {u"1", false},   {u"2", false},   {u"50", false},  {u"54", false}, {u"55", true},  {u"56", false},
      {u"59", false},  {u"60", true},   {u"49", true},   {u"500", false}, {u"599", false}, {u"600", true},
      {u"44", true},   {nullptr, false}, {u"", false},   {u"4x", false},
  };
  for (const auto& c : cases) {
    core::FakePlatform platform;
    if (c.code) platform.SetCountry(c.code);
    EXPECT_EQ(core::IsMetricCountry(platform), c.metric) << (c.code ? std::string(c.code, c.code + 1) : "missing");
  }
}

TEST_F(SettingsTest, MetricAndLetterDefaults) {
  const SettingsRecord a4 = Defaults(true);
  EXPECT_EQ(a4.dm.dmPaperSize, 9);
  EXPECT_EQ(Text(a4.dm.dmFormName, 32), u"A4");
  EXPECT_EQ(a4.customUnitInch, 0);
  EXPECT_EQ(a4.customWidth, 2100);
  EXPECT_EQ(a4.customHeight, 2970);
  EXPECT_EQ(a4.dm.dmPaperWidth, 2100);
  EXPECT_EQ(a4.dm.dmPaperLength, 2970);
  EXPECT_EQ(a4.fitPaperSize, 9);

  const SettingsRecord letter = Defaults(false);
  EXPECT_EQ(letter.dm.dmPaperSize, 1);
  EXPECT_EQ(Text(letter.dm.dmFormName, 32), u"Letter");
  EXPECT_EQ(letter.customUnitInch, 1);
  EXPECT_EQ(letter.customWidth, 2159);
  EXPECT_EQ(letter.customHeight, 2794);
  EXPECT_EQ(letter.dm.dmPaperWidth, 2159);
  EXPECT_EQ(letter.dm.dmPaperLength, 2794);
}

TEST_F(SettingsTest, DefaultRecordIsOwnAndWellFormed) {
  const SettingsRecord r = Defaults();
  EXPECT_TRUE(IsOwnRecord(&r, sizeof r));
  EXPECT_EQ(Text(r.dm.dmDeviceName, 32), u"Test Printer");
  EXPECT_EQ(r.dm.dmFields, dm::kDefaultFields | dm::kProcessorFields);  // the printer uses "winprint"
  EXPECT_EQ(r.renderBlockOffset, 1344);
  EXPECT_EQ(r.endMarker, kEndMarker);
  EXPECT_EQ(Text(r.helperExe, 32), u"qvsplf01.exe");
  EXPECT_STREQ(r.languageLibrary, "QVXLANG.DLL");
  EXPECT_EQ(r.blockReady, 1);
  EXPECT_EQ(Text(r.headerFooterFont.lfFaceName, 32), u"Arial");
  EXPECT_EQ(r.headerFooterFont.lfHeight, -11);
  EXPECT_EQ(r.headerFooterFont.lfCharSet, 1);
  EXPECT_EQ(r.watermarkFont.lfHeight, 72);
  // Colour 2 (from the description's default), media 0, both directions, preset 2.
  EXPECT_EQ(r.settingsKey, 0x02005002u);
  // One selection per document feature in image order; resolution is left open.
  EXPECT_EQ(r.descriptionStamp, 0x1234);
  ASSERT_EQ(r.optionCount, 7);
  EXPECT_EQ(r.optionSelections[4], kResolutionSelection);
  EXPECT_EQ(r.optionSelections[5], 1);  // COLOR default position
}

TEST_F(SettingsTest, DeviceNameKeepsAtMost31Characters) {
  SettingsRecord r;
  core::BuildDefaultSettings(r, std::u16string(40, u'x'), image_, true, platform_);
  EXPECT_EQ(Text(r.dm.dmDeviceName, 32), std::u16string(31, u'x'));
}

TEST_F(SettingsTest, DescriptionDefaultsAndFallbacks) {
  TestImage described;
  described.Feature(kFeatureTray, {{"Auto", "7"}, {"Cassette", "15"}}, 1)
      .Feature(kFeatureCOLOR, {{"Mono", "1"}}, 0)
      .Feature(kFeatureMultiplePage, {{"One", "0"}}, 0)
      .Feature(kFeatureCHALFTONE, {{"Dither", "1"}}, 0)
      .Feature(kFeatureThickness, {{"Regular", "0"}, {"Thick", "2"}}, 1)
      .Feature(kFeatureMediaType, {{"Plain", "0"}, {"Glossy", "3"}}, 1)
      .Feature(kFeaturePrtArea, {{"Borderless", "1"}});
  SettingsRecord r;
  core::BuildDefaultSettings(r, u"p", described.Build(), true, platform_);
  EXPECT_EQ(r.dm.dmDefaultSource, 15);
  EXPECT_EQ(r.dm.dmColor, 1);
  EXPECT_EQ(r.pagesPerSheet, 1);  // a default of 0 is raised to 1
  EXPECT_EQ(r.halftone, 1);
  EXPECT_EQ(r.thickness, 2);
  EXPECT_EQ(r.thicknessJob, 2);
  EXPECT_EQ(r.mediaType, 3);
  EXPECT_EQ(r.mediaTypeOption, 3);
  EXPECT_EQ(r.borderless, 1);

  TestImage empty;
  core::BuildDefaultSettings(r, u"p", empty.Build(), true, platform_);
  EXPECT_EQ(r.dm.dmDefaultSource, 7);
  EXPECT_EQ(r.dm.dmColor, 2);
  EXPECT_EQ(r.pagesPerSheet, 1);
  EXPECT_EQ(r.halftone, 3);
  EXPECT_EQ(r.cmpModeOption, 9);
  EXPECT_EQ(r.pageProtectOption, 1);
  EXPECT_EQ(r.captOption, 1);
  EXPECT_EQ(r.cmOption, 1);
  EXPECT_EQ(r.bidirectional, 1u);
  EXPECT_EQ(r.docType, 2);
  EXPECT_EQ(r.optionCount, 0);
}

TEST_F(SettingsTest, PrintProcessorOffersCopiesAndCollation) {
  struct Case {
    const char16_t* processor;
    bool handles;
  };
  for (const Case& c : {Case{u"WinPrint", true}, Case{u"winprint", true}, Case{u"QVPROC PRINT", true},
                        Case{u"qvproc print", true}, Case{u"OtherProc", false}, Case{nullptr, false}}) {
    core::FakePlatform platform;
    if (c.processor)
      platform.registry[{RegistryRoot::LocalMachine, std::u16string(core::kPrintersKey) + u"P", u"Print Processor"}] =
          c.processor;
    SettingsRecord r;
    core::BuildDefaultSettings(r, u"P", image_, true, platform);
    EXPECT_EQ(r.dm.dmFields, c.handles ? dm::kDefaultFields | 0x8100 : dm::kDefaultFields);
    EXPECT_EQ(r.dm.dmNup, c.handles ? 2u : 0u);
  }
}

TEST(ThirdToken, SeparatorsAndCounts) {
  struct Case {
    const char* text;
    int16_t value;
  };
  const Case cases[] = {
      {"10,20,30,40", 30}, {"10 20", 20},         {"10", 1},    {nullptr, 1},  {"", 1},
      {"1, 2, 3", 3},      {"5,6,7", 7},          {",8", 1},    {"7,,", 1},
      {"1,2,34567890123456789012345678", 1},  // 30 characters or more are ignored
      {"1,2,99999999999", 32767},             // out of range numbers saturate
  };
  for (const auto& c : cases) EXPECT_EQ(core::ThirdTokenValue(c.text), c.value) << (c.text ? c.text : "null");
}

TEST_F(SettingsTest, HeaderTextsAndModelType) {
  description_.SleepMode("1,5,30,60").MemorySize("8 16").ModelType(0xFFFF);
  const SettingsRecord r = [&] {
    SettingsRecord rec;
    core::BuildDefaultSettings(rec, u"p", description_.Build(), true, platform_);
    return rec;
  }();
  EXPECT_EQ(r.sleepModeValue, 30);
  EXPECT_EQ(r.memorySizeValue, 16);
  EXPECT_EQ(r.modelTypeBits, 0x0311);
}

TEST_F(SettingsTest, LanguageStrings) {
  SettingsRecord r = Defaults();
  EXPECT_EQ(r.region, 1);  // "USA" when the string is missing
  EXPECT_EQ(r.profilesPageHidden, 1u);
  EXPECT_EQ(r.uiLanguageMask, 0u);

  platform_.languageStrings[2113] = u"JPN";
  platform_.languageStrings[8109] = u"JPN";
  platform_.languageStrings[65280] = u"A face name longer than thirty-two characters";
  platform_.ownStrings[1060] = u"English";
  platform_.ownStrings[9060] = u"Other";
  r = Defaults();
  EXPECT_EQ(r.region, 0);
  EXPECT_EQ(r.profilesPageHidden, 0u);
  EXPECT_EQ(Text(r.headerFooterFont.lfFaceName, 32), u"A face name longer than thirty-");
  EXPECT_EQ(r.headerFooterFont.lfFaceName[31], u'\0');
  EXPECT_EQ(r.uiLanguageMask, 0x101u);

  platform_.languageStrings[2113] = u"GBR";
  EXPECT_EQ(Defaults().region, 2);
}

TEST_F(SettingsTest, RenderBlockDecidesOnTheHelper) {
  struct Case {
    const char* what;
    void (*change)(SettingsRecord&);
    bool helper;
  };
  const Case cases[] = {
      {"nothing to do", [](SettingsRecord&) {}, false},
      {"copies", [](SettingsRecord& r) { r.dm.dmCopies = 2; }, true},
      {"collate", [](SettingsRecord& r) { r.dm.dmCollate = 1; }, true},
      {"two up", [](SettingsRecord& r) { r.pagesPerSheet = 2; }, true},
      {"poster", [](SettingsRecord& r) { r.pagesPerSheet = 0; }, true},
      {"watermark", [](SettingsRecord& r) { r.watermarkOn = 1; }, true},
      {"reverse order only", [](SettingsRecord& r) { r.reverseJob = 1; }, true},
      {"reverse flag other than 1", [](SettingsRecord& r) { r.reverseJob = 2; }, true},
      // The header and footer switch is judged on the current settings, not
      // on the copy left by the previous preparation.
      {"header and footer", [](SettingsRecord& r) { r.headerFooterFlags |= 0x80; }, true},
  };
  for (const auto& c : cases) {
    SettingsRecord r = Defaults();
    c.change(r);
    r.blockReady = 0;
    core::PrepareRenderBlock(r, platform_);
    EXPECT_EQ(Text(r.helperExe, 32), c.helper ? u"qvsplf01.exe" : u"_vsplf01.exe") << c.what;
    EXPECT_EQ(r.blockReady, 1) << c.what;
  }
}

TEST_F(SettingsTest, RenderBlockJobCopies) {
  SettingsRecord r = Defaults();
  r.fitPaperSize = 43;
  r.fitPaperSizeTarget = 256;
  r.headerFooterFlags = 0x46;
  r.headerFooterTextColor = 0x123456;
  r.headerFooterFont.lfHeight = -20;
  core::PrepareRenderBlock(r, platform_);
  EXPECT_EQ(r.fitPaperSizeJob, -1);  // scalingMode 3
  EXPECT_EQ(r.fitPaperSizeTargetJob, -1);
  EXPECT_EQ(r.headerFooterFlagsJob, 0x46u);
  EXPECT_EQ(r.headerFooterTextColorJob, 0x123456u);
  EXPECT_EQ(r.headerFooterFontJob.lfHeight, -20);

  r.scalingMode = 1;
  platform_.activeRootWindowClass = u"flwapp";
  core::PrepareRenderBlock(r, platform_);
  EXPECT_EQ(r.fitPaperSizeJob, 43);
  EXPECT_EQ(r.fitPaperSizeTargetJob, 256);
  EXPECT_EQ(r.hostFlags & 1, 1);

  platform_.activeRootWindowClass = u"Notepad";
  core::PrepareRenderBlock(r, platform_);
  EXPECT_EQ(r.hostFlags & 1, 0);
}

}  // namespace
}  // namespace qvx::test
