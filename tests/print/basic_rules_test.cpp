// The Basic-page rules of the core as the print tool applies them.
#include <gtest/gtest.h>

#include "basic_rules.h"

namespace qvx::core {
namespace {

SettingsRecord PlainA4() {
  SettingsRecord r{};
  r.dm.dmPaperSize = 9;
  r.dm.dmColor = 2;
  r.dm.dmDefaultSource = 7;
  r.mediaType = 0;
  r.printPreset = 2;
  r.qualityCode = -3;
  r.bidirectional = 1;
  r.bidirectionalJob = 1;
  r.privDword312 = 1;
  return r;
}

TEST(BasicRules, BorderlessTwinsMapBothWays) {
  const struct {
    int bordered, borderless;
  } twins[] = {{1, 275}, {43, 277}, {70, 276}, {265, 280}, {266, 281}, {272, 278}, {273, 279}, {9, 274}};
  for (const auto& t : twins) {
    SettingsRecord r = PlainA4();
    r.dm.dmPaperSize = static_cast<int16_t>(t.bordered);
    ASSERT_EQ(SwitchBorderless(r, true), Refusal::None) << t.bordered;
    EXPECT_EQ(r.dm.dmPaperSize, t.borderless);
    EXPECT_EQ(r.borderless, 1);
    ASSERT_EQ(SwitchBorderless(r, false), Refusal::None);
    EXPECT_EQ(r.dm.dmPaperSize, t.bordered);
    EXPECT_EQ(r.borderless, 0);
  }
  SettingsRecord legal = PlainA4();
  legal.dm.dmPaperSize = 5;
  EXPECT_EQ(SwitchBorderless(legal, true), Refusal::BorderlessNotOffered);
  EXPECT_EQ(legal.dm.dmPaperSize, 5);
}

TEST(BasicRules, BorderlessRefusesDraftAndFilmBothWays) {
  SettingsRecord r = PlainA4();
  ASSERT_EQ(ChooseQuality(r, -1), Refusal::None);  // preset 0
  EXPECT_EQ(r.dm.dmPrintQuality, 150);
  EXPECT_EQ(ChoosePaper(r, 274), Refusal::BorderlessConflict);
  EXPECT_EQ(r.dm.dmPaperSize, 9) << "a refused choice changes nothing";

  SettingsRecord b = PlainA4();
  ASSERT_EQ(ChoosePaper(b, 274), Refusal::None);
  EXPECT_EQ(ChooseQuality(b, -1), Refusal::BorderlessConflict);
  EXPECT_EQ(ChooseMedia(b, 4), Refusal::BorderlessConflict);
  EXPECT_EQ(b.qualityCode, -3);
  EXPECT_EQ(b.mediaType, 0);
  // Preset 5 is refused only on models with bit 4 of the model type.
  ASSERT_EQ(ChooseMedia(b, 2), Refusal::None);
  EXPECT_EQ(ChooseQuality(b, -4), Refusal::None);
  b.modelTypeBits = 0x10;
  ASSERT_EQ(ChooseQuality(b, -3), Refusal::None);
  EXPECT_EQ(ChooseQuality(b, -4), Refusal::BorderlessConflict);
}

TEST(BasicRules, MediaBringsItsQualityAndSwitches) {
  const struct {
    int media;
    int preset;
    int quality;
    int dpi;
  } cases[] = {{0, 2, -3, 600}, {1, 3, -3, 600}, {2, 4, -3, 600}, {12, 3, -4, 600}, {4, 2, -3, 600}};
  for (const auto& c : cases) {
    SettingsRecord r = PlainA4();
    r.mediaDependentValue = 3;
    r.privDword280 = 1;
    ASSERT_EQ(ChooseMedia(r, c.media), Refusal::None) << c.media;
    EXPECT_EQ(r.printPreset, c.preset) << c.media;
    EXPECT_EQ(r.qualityCode, c.quality) << c.media;
    EXPECT_EQ(r.dm.dmPrintQuality, c.dpi) << c.media;
    EXPECT_EQ(r.mediaVariant, c.media == 12 ? 1u : 0u) << c.media;
    EXPECT_EQ(r.mediaDependentValue, c.media == 4 ? 0u : 3u) << c.media;
  }
  SettingsRecord r = PlainA4();
  EXPECT_EQ(ChooseMedia(r, 5), Refusal::MediaWithoutQuality);
  ASSERT_EQ(ChooseMedia(r, 1), Refusal::None);
  EXPECT_EQ(ChooseQuality(r, -2), Refusal::QualityNotOffered);
  EXPECT_EQ(ChooseQuality(r, -4), Refusal::None);
  EXPECT_EQ(r.printPreset, 4);
}

TEST(BasicRules, LowerTrayTakesOnlyPlainMediaOnItsPapers) {
  SettingsRecord r = PlainA4();
  RuleEffects effects;
  ChooseSource(r, kLowerTray, &effects);
  EXPECT_EQ(r.dm.dmDefaultSource, kLowerTray);
  EXPECT_FALSE(effects.trayReset);
  ASSERT_EQ(ChooseMedia(r, 1, &effects), Refusal::None);
  EXPECT_TRUE(effects.trayReset);
  EXPECT_EQ(r.dm.dmDefaultSource, 1);

  SettingsRecord e = PlainA4();
  ChooseSource(e, kLowerTray);
  RuleEffects paperEffects;
  ASSERT_EQ(ChoosePaper(e, 27, &paperEffects), Refusal::None);  // envelope DL
  EXPECT_TRUE(paperEffects.trayReset);
}

TEST(BasicRules, EnvelopesAreThickAndPrintInOneDirection) {
  SettingsRecord r = PlainA4();
  ASSERT_EQ(ChoosePaper(r, 27), Refusal::None);
  EXPECT_EQ(r.thickness, 2);
  EXPECT_EQ(r.bidirectional, 0u);
  ASSERT_EQ(ChoosePaper(r, 9), Refusal::None);
  EXPECT_EQ(r.thickness, 0);
  EXPECT_EQ(r.bidirectional, 1u) << "restored from bidirectionalJob";
  // Non-plain media keep their own switch.
  ASSERT_EQ(ChooseMedia(r, 2), Refusal::None);
  r.privDword312 = 1;
  ASSERT_EQ(ChoosePaper(r, 43), Refusal::None);  // postcard
  EXPECT_EQ(r.privDword280, 0u);
  ASSERT_EQ(ChoosePaper(r, 9), Refusal::None);
  EXPECT_EQ(r.privDword280, 1u);
}

}  // namespace
}  // namespace qvx::core
