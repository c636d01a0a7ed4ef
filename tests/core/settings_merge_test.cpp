#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "paper_forms.h"
#include "settings_fixture.h"
#include "settings_merge.h"

namespace qvx::test {
namespace {

using core::FormInfo;
using core::PaperForm;
using core::PaperLookup;

std::u16string Text(const char16_t* field, size_t n) { return std::u16string(core::FieldText(field, n)); }

// A record of exactly `size` bytes in its own heap block, so that the
// sanitizers see any access beyond it.
std::unique_ptr<uint8_t[]> Block(const void* bytes, size_t size) {
  auto block = std::make_unique<uint8_t[]>(size);
  std::memcpy(block.get(), bytes, size);
  return block;
}

// A bare public part as an application of another driver would send it.
DevModeW BarePublic(uint32_t fields) {
  DevModeW d{};
  d.dmSpecVersion = kSpecVersion;
  d.dmDriverVersion = 0x0100;
  d.dmSize = kPublicSize;
  d.dmFields = fields;
  return d;
}

class MergeTest : public SettingsTest {
 protected:
  // Defaults merged with `incoming`.
  SettingsRecord Merge(const void* incoming, size_t size) {
    SettingsRecord t = Defaults();
    auto printer = platform_.OpenPrinterByName(u"Test Printer");
    EXPECT_TRUE(core::MergeSettings(t, incoming, size, printer.get(), image_, platform_));
    return t;
  }
  SettingsRecord MergeRecord(const SettingsRecord& r) { return Merge(&r, sizeof r); }
};

TEST_F(MergeTest, NothingIncomingKeepsDefaults) {
  SettingsRecord t = Defaults();
  const SettingsRecord before = t;
  EXPECT_TRUE(core::MergeSettings(t, nullptr, 0, nullptr, image_, platform_));
  EXPECT_EQ(std::memcmp(&t, &before, sizeof t), 0);
}

TEST_F(MergeTest, BarePublicRecordKeepsDefaultPrivatePart) {
  DevModeW in = BarePublic(dm::kOrientation | dm::kPaperSize | dm::kCopies | dm::kPrintQuality | dm::kDuplex);
  in.dmOrientation = 2;
  in.dmPaperSize = 1;  // Letter
  in.dmCopies = 3;
  in.dmPrintQuality = 300;
  in.dmDuplex = 2;
  const SettingsRecord defaults = Defaults();
  const SettingsRecord t = Merge(&in, sizeof in);

  EXPECT_TRUE(IsOwnRecord(&t, sizeof t));
  EXPECT_EQ(t.dm.dmOrientation, 2);
  EXPECT_EQ(t.dm.dmPaperSize, 1);
  EXPECT_EQ(Text(t.dm.dmFormName, 32), u"Letter");  // follows the paper, not the default form
  EXPECT_EQ(t.dm.dmPaperWidth, 2159);
  EXPECT_EQ(t.dm.dmPaperLength, 2794);
  EXPECT_EQ(t.dm.dmCopies, 3);
  EXPECT_EQ(t.dm.dmPrintQuality, 300);
  EXPECT_EQ(t.dm.dmDuplex, 2);
  // Private part: the defaults, apart from what the merge itself derives.
  EXPECT_EQ(t.customWidth, defaults.customWidth);
  EXPECT_EQ(t.settingsKey, defaults.settingsKey);
  EXPECT_EQ(std::memcmp(t.optionSelections, defaults.optionSelections, sizeof t.optionSelections), 0);
  EXPECT_EQ(Text(t.helperExe, 32), u"qvsplf01.exe");  // copies need the helper
}

TEST_F(MergeTest, ForeignPrivateBytesAreNeverTaken) {
  struct Case {
    const char* what;
    uint16_t specVersion, driverVersion, size, extra;
  };
  const Case cases[] = {
      {"print ticket provider", kSpecVersion, kTicketDriverVersion, kPublicSize, kPrivateSize},
      {"older driver", 0x0400, 0x0401, 212, 1024},
      {"3.51 layout", 0x0320, 0x0350, 188, 112},
      {"other private size", kSpecVersion, kDriverVersion, kPublicSize, 2000},
  };
  for (const Case& c : cases) {
    SettingsRecord in = Defaults();
    in.dm.dmSpecVersion = c.specVersion;
    in.dm.dmDriverVersion = c.driverVersion;
    in.dm.dmSize = c.size;
    in.dm.dmDriverExtra = c.extra;
    in.dm.dmFields = dm::kOrientation | dm::kPaperSize;
    in.dm.dmOrientation = 2;
    in.dm.dmPaperSize = 1;
    in.mediaType = 3;
    in.bandingSize = 200;
    in.watermarkOn = 1;
    // A shorter public part puts the private bytes earlier.
    std::vector<uint8_t> bytes(size_t{c.size} + c.extra);
    std::memcpy(bytes.data(), &in, c.size);
    std::memcpy(bytes.data() + c.size, reinterpret_cast<uint8_t*>(&in) + kPublicSize,
                std::min<size_t>(c.extra, kPrivateSize));
    const SettingsRecord t = Merge(bytes.data(), bytes.size());
    EXPECT_EQ(t.dm.dmOrientation, 2) << c.what;
    EXPECT_EQ(t.dm.dmPaperSize, 1) << c.what;
    EXPECT_EQ(t.mediaType, 0) << c.what;
    EXPECT_EQ(t.bandingSize, 500) << c.what;
    EXPECT_EQ(t.watermarkOn, 0u) << c.what;
    EXPECT_EQ(t.dm.dmDriverVersion, kDriverVersion) << c.what;
    EXPECT_EQ(t.dm.dmSize, kPublicSize) << c.what;
    EXPECT_EQ(t.dm.dmDriverExtra, kPrivateSize) << c.what;
  }
}

TEST_F(MergeTest, OwnRecordKeepsItsPrivatePart) {
  SettingsRecord in = Defaults();
  in.mediaType = 3;
  in.bandingSize = 200;
  in.watermarkOn = 1;
  in.qualityCode = -4;
  in.mediaDependentValue = 5;
  const SettingsRecord t = MergeRecord(in);
  EXPECT_EQ(t.mediaType, 3);
  EXPECT_EQ(t.bandingSize, 200);
  EXPECT_EQ(t.watermarkOn, 1u);
  EXPECT_EQ(t.qualityCode, -4);
  EXPECT_EQ(t.mediaDependentValue, 5u);

  in.mediaType = 4;  // no mirroring on this media
  EXPECT_EQ(MergeRecord(in).mediaDependentValue, 0u);
}

TEST_F(MergeTest, PublicValuesOutOfRange) {
  struct Case {
    const char* what;
    uint32_t fields;
    void (*set)(SettingsRecord&);
    void (*check)(const SettingsRecord&);
  };
  const Case cases[] = {
      {"copies 1000", dm::kCopies, [](SettingsRecord& r) { r.dm.dmCopies = 1000; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmCopies, 1); }},
      {"copies without the field", 0, [](SettingsRecord& r) { r.dm.dmCopies = 5; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmCopies, 1); }},
      {"scale 0", 0, [](SettingsRecord& r) { r.dm.dmScale = 0; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmScale, 100); }},
      {"scale 75 clears the imposed pages-per-sheet flag", 0,
       [](SettingsRecord& r) { r.dm.dmScale = 75; r.privWord186 = 1; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmScale, 75); EXPECT_EQ(r.privWord186, 0); }},
      {"quality 720", dm::kPrintQuality, [](SettingsRecord& r) { r.dm.dmPrintQuality = 720; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmPrintQuality, 600); }},
      {"duplex 4", dm::kDuplex, [](SettingsRecord& r) { r.dm.dmDuplex = 4; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmDuplex, 1); }},
      {"orientation 3", dm::kOrientation, [](SettingsRecord& r) { r.dm.dmOrientation = 3; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmOrientation, 1); }},
      {"collate 2", dm::kCollate, [](SettingsRecord& r) { r.dm.dmCollate = 2; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmCollate, 0); }},
      {"collate 1", dm::kCollate, [](SettingsRecord& r) { r.dm.dmCollate = 1; },
       [](const SettingsRecord& r) {
         EXPECT_EQ(r.dm.dmCollate, 1);
         EXPECT_EQ(r.collateJob, 1);
         EXPECT_EQ(r.collateFlag, 1u);
         EXPECT_TRUE(r.dm.dmFields & dm::kCollate);
       }},
      {"collation left to the application", dm::kCollate,
       [](SettingsRecord& r) { r.dm.dmCollate = 1; r.noDriverCollate = 1; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.dm.dmCollate, 0); EXPECT_FALSE(r.dm.dmFields & dm::kCollate); }},
      {"quality level -7", 0, [](SettingsRecord& r) { r.qualityCode = -7; },
       [](const SettingsRecord& r) { EXPECT_EQ(r.qualityCode, -3); }},
      {"scale field switched on", 0, [](SettingsRecord& r) { r.scaleEnabled = 1; },
       [](const SettingsRecord& r) { EXPECT_TRUE(r.dm.dmFields & dm::kScale); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SettingsRecord in = Defaults();
    in.dm.dmFields = c.fields;
    c.set(in);
    c.check(MergeRecord(in));
  }
}

TEST_F(MergeTest, ColourOnlyOnColourDevices) {
  DevModeW in = BarePublic(dm::kColor);
  in.dmColor = 2;
  EXPECT_EQ(Merge(&in, sizeof in).dm.dmColor, 2);
  description_.Color(false);
  image_ = description_.Build();
  EXPECT_EQ(Merge(&in, sizeof in).dm.dmColor, 1);
}

TEST_F(MergeTest, PrintProcessorDecidesNup) {
  DevModeW in = BarePublic(0);
  SettingsRecord t = Merge(&in, sizeof in);  // the fake printer uses "winprint"
  EXPECT_EQ(t.dm.dmNup, 1u);
  EXPECT_TRUE(t.dm.dmFields & dm::kNup);
  printer_->info->printProcessor = u"QVPROC PRINT";
  t = Merge(&in, sizeof in);
  EXPECT_EQ(t.dm.dmNup, 2u);
  EXPECT_FALSE(t.dm.dmFields & dm::kNup);
  EXPECT_TRUE(t.dm.dmFields & dm::kCopies);
}

TEST_F(MergeTest, CustomSizes) {
  DevModeW in = BarePublic(dm::kPaperLength | dm::kPaperWidth);
  in.dmPaperWidth = 2794;
  in.dmPaperLength = 2159;
  SettingsRecord t = Merge(&in, sizeof in);
  EXPECT_EQ(t.dm.dmPaperSize, 256);
  EXPECT_EQ(t.dm.dmPaperWidth, 2159);
  EXPECT_EQ(t.dm.dmPaperLength, 2794);
  EXPECT_EQ(t.dm.dmOrientation, 2);
  EXPECT_EQ(t.customWidth, 2159);
  EXPECT_EQ(t.customHeight, 2794);
  EXPECT_FALSE(t.dm.dmFields & dm::kFormName);

  in.dmPaperWidth = 1000;  // portrait already
  in.dmPaperLength = 1500;
  t = Merge(&in, sizeof in);
  EXPECT_EQ(t.customWidth, 1000);
  EXPECT_EQ(t.customHeight, 1500);
  EXPECT_EQ(t.dm.dmOrientation, 1);
}

TEST_F(MergeTest, BorderlessFollowsPaperSize) {
  DevModeW in = BarePublic(dm::kPaperSize);
  in.dmPaperSize = 274;
  SettingsRecord t = Merge(&in, sizeof in);
  EXPECT_EQ(t.borderless, 1);
  EXPECT_EQ(Text(t.dm.dmFormName, 32), u"A4_BL");
  EXPECT_EQ(t.dm.dmPaperWidth, 2099);  // truncated through 1/256 point
  in.dmPaperSize = 9;
  EXPECT_EQ(Merge(&in, sizeof in).borderless, 0);
}

TEST_F(MergeTest, UnknownPaperSizeGivesZeroDimensions) {
  DevModeW in = BarePublic(dm::kPaperSize);
  in.dmPaperSize = 77;
  const SettingsRecord t = Merge(&in, sizeof in);
  EXPECT_EQ(t.dm.dmPaperSize, 77);
  EXPECT_EQ(t.dm.dmPaperWidth, 0);
  EXPECT_EQ(t.dm.dmPaperLength, 0);
}

TEST_F(MergeTest, NewDescriptionRefreshesOptionSelections) {
  SettingsRecord in = Defaults();
  in.optionSelections[5] = 0;  // the user picked another colour option
  EXPECT_EQ(MergeRecord(in).optionSelections[5], 0);

  description_.Stamp(0x9999);
  image_ = description_.Build();
  const SettingsRecord t = MergeRecord(in);
  EXPECT_EQ(t.descriptionStamp, 0x9999);
  EXPECT_EQ(t.optionSelections[5], 1);
}

// Records from outside that claim more than the caller's buffer holds: the
// sanitizer builds turn any read beyond the block into a failure.
TEST_F(MergeTest, ClaimsBeyondTheBufferAreNotRead) {
  SettingsRecord own = Defaults();
  own.dm.dmDriverExtra = 60000;
  auto shortOwn = Block(&own, 300);
  SettingsRecord t = Merge(shortOwn.get(), 300);
  EXPECT_TRUE(IsOwnRecord(&t, sizeof t));

  DevModeW bare = BarePublic(dm::kOrientation);
  bare.dmOrientation = 2;
  bare.dmSize = 0xFFFF;
  bare.dmDriverExtra = 0xFFFF;
  auto big = Block(&bare, sizeof bare);
  t = Merge(big.get(), sizeof bare);
  EXPECT_EQ(t.dm.dmOrientation, 2);
  EXPECT_EQ(t.dm.dmSize, kPublicSize);

  auto tiny = Block(&bare, 40);  // not even a header
  SettingsRecord d = Defaults();
  EXPECT_FALSE(core::MergeSettings(d, tiny.get(), 40, nullptr, image_, platform_));
}

TEST_F(MergeTest, AbsurdValuesMergeToAValidRecord) {
  SettingsRecord in;
  std::memset(&in, 0xA5, sizeof in);
  in.dm.dmSpecVersion = kSpecVersion;
  in.dm.dmDriverVersion = kDriverVersion;
  in.dm.dmSize = kPublicSize;
  in.dm.dmDriverExtra = kPrivateSize;
  in.signature = kSignature;
  in.descriptionStamp = 0x1234;
  const SettingsRecord t = MergeRecord(in);

  EXPECT_TRUE(IsOwnRecord(&t, sizeof t));
  EXPECT_EQ(t.renderBlockOffset, kRenderBlockOffset);
  EXPECT_EQ(t.blockSize, kRenderBlockSize);
  EXPECT_EQ(t.endMarker, kEndMarker);
  EXPECT_STREQ(t.languageLibrary, "QVXLANG.DLL");
  EXPECT_EQ(t.optionCount, 7);
  EXPECT_EQ(t.bandingSize, 500);
  EXPECT_EQ(t.scalingMode, 3);
  EXPECT_EQ(t.renderingIntent, 256);
  EXPECT_EQ(t.compressionMode, 2);
  EXPECT_EQ(t.qualityCode, -3);
  EXPECT_EQ(t.dm.dmDeviceName[31], 0);
  EXPECT_EQ(t.dm.dmFormName[31], 0);
  EXPECT_EQ(t.watermarkName[127], 0);
  EXPECT_EQ(t.profileFileName[259], 0);
  EXPECT_EQ(t.watermarkFont.lfFaceName[31], 0);
  EXPECT_GE(t.dm.dmCopies, 1);
  EXPECT_LE(t.dm.dmCopies, 999);
  EXPECT_GE(t.dm.dmScale, 1);
  EXPECT_LE(t.dm.dmScale, 1000);
}

TEST_F(MergeTest, OptionSelectionsOutOfRangeGoBackToDefaults) {
  SettingsRecord in = Defaults();
  in.optionSelections[0] = 200;  // PageSize has four options
  in.optionSelections[1] = 1;    // a valid choice stays
  const SettingsRecord t = MergeRecord(in);
  EXPECT_EQ(t.optionSelections[0], 0);
  EXPECT_EQ(t.optionSelections[1], 1);
}

TEST(CopySettings, Sizes) {
  struct Case {
    const char* what;
    uint16_t srcSpec, srcSize, srcExtra;
    uint16_t dstSpec, dstSize, dstExtra;
    int result;
    uint16_t resultSpec;
  };
  const Case cases[] = {
      {"same sizes", 0x0401, 220, 2156, 0x0401, 220, 2156, 2376, 0x0401},
      {"to the old layout", 0x0401, 220, 2156, 0, 188, 112, 300, 0x0320},
      {"from the old layout", 0x0320, 188, 112, 0x0401, 220, 2156, 300, 0x0401},
      {"212-byte destination", 0x0401, 220, 0, 0x0999, 212, 0, 212, 0x0400},
      {"odd destination keeps its version", 0x0401, 220, 0, 0x0500, 200, 0, 200, 0x0500},
      {"odd destination without a version", 0x0401, 220, 0, 0, 200, 0, -1, 0},
      {"odd source without a version", 0, 200, 0, 0x0401, 220, 0, -1, 0},
      {"odd source with a version", 0x0500, 200, 0, 0x0401, 220, 0, 200, 0x0401},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> src(size_t{c.srcSize} + c.srcExtra, 0x11), dst(size_t{c.dstSize} + c.dstExtra, 0);
    auto header = [](std::vector<uint8_t>& b, uint16_t spec, uint16_t size, uint16_t extra) {
      std::memcpy(&b[64], &spec, 2);
      std::memcpy(&b[68], &size, 2);
      std::memcpy(&b[70], &extra, 2);
    };
    header(src, c.srcSpec, c.srcSize, c.srcExtra);
    header(dst, c.dstSpec, c.dstSize, c.dstExtra);
    EXPECT_EQ(core::CopySettings(src.data(), src.size(), dst.data(), dst.size()), c.result) << c.what;
    if (c.result > 0) {
      EXPECT_EQ(LoadU16(dst.data(), dst.size(), 64), c.resultSpec) << c.what;
      EXPECT_EQ(LoadU16(dst.data(), dst.size(), 68), c.dstSize) << c.what;
      if (c.dstExtra) {
        EXPECT_EQ(dst[c.dstSize], c.srcExtra ? 0x11 : 0) << c.what;
      }
    }
  }
  uint8_t buffer[300] = {};
  EXPECT_EQ(core::CopySettings(nullptr, 0, buffer, sizeof buffer), -1);
  EXPECT_EQ(core::CopySettings(buffer, sizeof buffer, nullptr, 0), -1);
}

TEST(CopySettings, BuffersBoundBothParts) {
  SettingsRecord source{};
  source.dm.dmSpecVersion = kSpecVersion;
  source.dm.dmSize = kPublicSize;
  source.dm.dmDriverExtra = kPrivateSize;
  auto dst = std::make_unique<uint8_t[]>(400);
  std::memset(dst.get(), 0, 400);
  const uint16_t size = kPublicSize, extra = kPrivateSize, spec = kSpecVersion;
  std::memcpy(&dst[64], &spec, 2);
  std::memcpy(&dst[68], &size, 2);
  std::memcpy(&dst[70], &extra, 2);
  // The destination's header claims 2376 bytes but the buffer has 400.
  EXPECT_EQ(core::CopySettings(&source, sizeof source, dst.get(), 400), 400);
  auto src = Block(&source, 250);
  EXPECT_EQ(core::CopySettings(src.get(), 250, dst.get(), 400), 250);
}

TEST_F(SettingsTest, CopyForCaller) {
  const SettingsRecord ours = Defaults();
  std::vector<uint8_t> out(kRecordSize, 0xEE);
  EXPECT_TRUE(core::CopySettingsForCaller(ours, nullptr, 0, out.data(), out.size()));
  EXPECT_EQ(std::memcmp(out.data(), &ours, kRecordSize), 0);
  EXPECT_FALSE(core::CopySettingsForCaller(ours, nullptr, 0, out.data(), kRecordSize - 1));

  // The caller's record is an older, smaller one: the output takes its sizes.
  DevModeW old{};
  old.dmSpecVersion = 0x0320;
  old.dmDriverVersion = 0x0350;
  old.dmSize = 188;
  old.dmDriverExtra = 112;
  std::vector<uint8_t> small(300, 0);
  EXPECT_TRUE(core::CopySettingsForCaller(ours, &old, sizeof old, small.data(), small.size()));
  EXPECT_EQ(LoadU16(small.data(), 300, 64), 0x0320);
  EXPECT_EQ(LoadU16(small.data(), 300, 66), 0x0350);
  EXPECT_EQ(LoadU16(small.data(), 300, 68), 188);
  EXPECT_EQ(LoadU16(small.data(), 300, 70), 112);
  EXPECT_EQ(LoadU32(small.data(), 300, 188 + 4), kSignature);  // private bytes start right after
}

TEST_F(SettingsTest, LookupPaperForm) {
  SettingsRecord r = Defaults();
  PaperForm form;
  r.dm.dmPaperSize = 1;
  EXPECT_EQ(core::LookupPaperForm(r, form, image_), PaperLookup::Found);
  EXPECT_EQ(form.name, "Letter");
  EXPECT_EQ(Text(r.dm.dmFormName, 32), u"Letter");
  EXPECT_EQ(core::FixedToTenthMm(form.width), 2159);
  EXPECT_EQ(core::FixedToTenthMm(form.height), 2794);

  r.dm.dmPaperSize = 256;
  r.customWidth = 1000;
  r.customHeight = 2000;
  EXPECT_EQ(core::LookupPaperForm(r, form, image_), PaperLookup::Custom);
  EXPECT_EQ(form.name, "User");
  EXPECT_EQ(form.width, (1000 * 100 / 254 * 72 / 100) * 256);
  EXPECT_EQ(form.height, (2000 * 100 / 254 * 72 / 100) * 256);

  r.dm.dmPaperSize = 5;
  EXPECT_EQ(core::LookupPaperForm(r, form, image_), PaperLookup::NotFound);

  TestImage bare;
  r.dm.dmPaperSize = 9;
  EXPECT_EQ(core::LookupPaperForm(r, form, bare.Build()), PaperLookup::NotFound);
  r.dm.dmPaperSize = 256;
  EXPECT_EQ(core::LookupPaperForm(r, form, bare.Build()), PaperLookup::Custom);
  EXPECT_EQ(form.name, "");
}

TEST_F(SettingsTest, FormIsAvailable) {
  struct Case {
    uint32_t flags;
    const char16_t* name;
    bool available;
  };
  const Case cases[] = {
      {core::kFormPrinter, u"A4", true},
      {core::kFormBuiltin, u"Letter", true},
      {core::kFormPrinter, u"A4 (borderless)", true},  // by translation
      {core::kFormUser, u"A4", false},
      {core::kFormPrinter, u"A3", false},
  };
  for (const Case& c : cases) {
    FormInfo form;
    form.flags = c.flags;
    form.name = c.name;
    EXPECT_EQ(core::FormIsAvailable(image_, form), c.available);
  }
}

}  // namespace
}  // namespace qvx::test
