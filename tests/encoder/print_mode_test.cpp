// Print mode rules and the page and document command bytes.
#include <gtest/gtest.h>

#include "encoder_job.h"
#include "print_mode.h"

namespace qvx::enc::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct ModeCase {
  const char* name;
  uint16_t mediaType;
  int16_t qualityCode;
  int16_t color;
  uint32_t multibit;
  uint8_t docType;
  uint16_t code;
  int preset, dpi;
  uint8_t r1, r2, ink;
  int row;  // 1-based row of the print mode table
};

class PrintModes : public EncoderJob, public ::testing::WithParamInterface<ModeCase> {
 protected:
  JobState* Build(const SettingsRecord& s) {
    void* state = nullptr;
    EXPECT_EQ(encoder_->CreateJobState(&s, sizeof s, &state), 0);
    return static_cast<JobState*>(state);
  }
};

TEST_P(PrintModes, CodePresetResolutionAndHeader) {
  const ModeCase& c = GetParam();
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.mediaType = c.mediaType;
  s.qualityCode = c.qualityCode;
  s.dm.dmColor = c.color;
  s.multibitMode = c.multibit;
  s.docType = c.docType;
  JobState* job = Build(s);
  ASSERT_NE(job, nullptr);
  EXPECT_EQ(job->printModeCode, c.code);
  EXPECT_EQ(job->qualityPreset, c.preset);
  EXPECT_EQ(job->resolution, c.dpi);
  EXPECT_EQ(job->printModeIndex + 1, c.row);
  EXPECT_EQ(job->settings.privWord284, c.code);
  EXPECT_EQ(job->settings.printPreset, c.preset);
  uint8_t header[kPageHeaderMax];
  const size_t n = BuildPageHeader(job->settings, job->printModeCode, job->mediaByte,
                                   job->mediaDependent, header);
  ASSERT_EQ(n, 51u);
  EXPECT_EQ(Bytes(header + 13, header + 18), (Bytes{'R', c.r1, c.r2, 'I', c.ink}));
  const PrintModeRow& row = kPrintModeTable[c.row - 1];
  EXPECT_EQ(Bytes(header + 28, header + 32), (Bytes{'P', 0x80, row.p1, row.p2}));
  encoder_->DestroyJobState(job);
}

INSTANTIATE_TEST_SUITE_P(
    PrintMode, PrintModes,
    ::testing::Values(
        ModeCase{"PlainNormal", 0, -3, 2, 0, 2, 0x300, 2, 600, 2, 2, 0x10, 3},
        ModeCase{"PlainNormalMultibit", 0, -3, 2, 1, 2, 0x2300, 2, 600, 2, 2, 0x31, 3},
        ModeCase{"PlainNormalMono", 0, -3, 1, 0, 2, 0x1300, 2, 600, 2, 2, 0x00, 3},
        ModeCase{"PlainDraft", 0, -1, 2, 1, 2, 0x107, 0, 150, 2, 0, 0x10, 1},
        ModeCase{"PlainFast", 0, -2, 2, 0, 2, 0x205, 1, 300, 2, 1, 0x10, 2},
        ModeCase{"GlossyBest", 2, -4, 2, 0, 2, 0x700, 5, 600, 3, 6, 0x10, 6},
        ModeCase{"PhotoDraftMultibit", 1, -1, 2, 1, 2, 0x2500, 3, 600, 3, 3, 0x31, 4},
        ModeCase{"MonoThroughColourPlanes", 1, -1, 1, 0, 2, 0x5500, 3, 600, 3, 3, 0x10, 4},
        ModeCase{"Transparency", 4, -3, 2, 0, 2, 0x310, 2, 600, 2, 2, 0x10, 16},
        ModeCase{"TransparencyBest", 5, -4, 2, 0, 1, 0x510, 3, 600, 3, 3, 0x10, 17}),
    [](const auto& info) { return std::string(info.param.name); });

using PageCommands = EncoderJob;

Bytes HeaderFor(const SettingsRecord& s, InkjetEncoder& encoder) {
  void* state = nullptr;
  EXPECT_EQ(encoder.CreateJobState(&s, sizeof s, &state), 0);
  auto* job = static_cast<JobState*>(state);
  uint8_t header[kPageHeaderMax];
  const size_t n =
      BuildPageHeader(job->settings, job->printModeCode, job->mediaByte, job->mediaDependent, header);
  encoder.DestroyJobState(job);
  return Bytes(header, header + n);
}

// The job state names the folder the raster stage loads colour table files
// from; a folder that does not fit, or none, leaves the built-in tables.
TEST_F(PageCommands, JobStateTakesTheColourTableFolderOfThePlatform) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  struct Case {
    std::u16string folder;
    std::u16string expected;
  } cases[] = {{u"C:\\drivers\\x64\\3", u"C:\\drivers\\x64\\3"},
               {u"", u""},
               {std::u16string(300, u'a'), u""}};
  for (const Case& c : cases) {
    platform.tableFolder = c.folder;
    void* state = nullptr;
    ASSERT_EQ(encoder_->CreateJobState(&s, sizeof s, &state), 0);
    auto* job = static_cast<JobState*>(state);
    EXPECT_EQ(std::u16string(job->colourTableFolder), c.expected);
    encoder_->DestroyJobState(job);
  }
}

TEST_F(PageCommands, FullHeaderOfPlainPaperNormalQuality) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.qualityCode = -3;
  const Bytes expected = {0x1B, 0x7C, 0x01, 0x00, 0x09, 'U', 'Q', 0x04, 0x00, 0x00, 0x00, 0x00,
                          'V',  'R',  0x02, 0x02, 'I', 0x10, 'M', 0x08, 'D', 0x00, 'N', 0x04,
                          0x00, 'N',  0x05, 0x00, 'P', 0x80, 0x01, 0x5D, 'T', 0x03, 's', 0x01,
                          'S',  0x46, 0x00, 0x46, 0x00, 0x46, 0x00, 0x46, 0x00, 'Y', 0x00, 0x00,
                          'X',  0x00, 0x00};
  EXPECT_EQ(HeaderFor(s, *encoder_), expected);
}

TEST_F(PageCommands, SettingsFieldsReachTheirCommands) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.compressionMode = 3;
  s.mediaType = 9;
  s.privDword280 = 0;  // this media takes the alternate direction switch
  s.bidirectional = 1;
  s.thickness = 3;
  s.dm.dmDefaultSource = 2;
  const Bytes h = HeaderFor(s, *encoder_);
  EXPECT_EQ(Bytes(h.begin() + 18, h.begin() + 28),
            (Bytes{'M', 6, 'D', 0xFF, 'N', 0x04, 3, 'N', 0x05, 5}));
  EXPECT_EQ(Bytes(h.begin() + 32, h.begin() + 34), (Bytes{'T', 2}));
}

TEST_F(PageCommands, BorderlessPaperShiftsMarginsOutward) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.qualityCode = -3;
  s.modelTypeBits = 0x10;
  s.dm.dmPaperSize = 275;  // borderless Letter: sides 70, top and bottom 46
  Bytes h = HeaderFor(s, *encoder_);
  EXPECT_EQ(Bytes(h.begin() + 28, h.begin() + 45),
            (Bytes{'P', 0x80, 0x01, 0x2D, 'T', 3, 's', 0, 'S', 0xC4, 0xFF, 0xC4, 0xFF, 0xDC, 0xFF,
                   0xDC, 0xFF}));
  s.modelTypeBits = 0;
  s.dm.dmPaperSize = 274;  // borderless A4
  void* state = nullptr;
  ASSERT_EQ(encoder_->CreateJobState(&s, sizeof s, &state), 0);
  auto* job = static_cast<JobState*>(state);
  EXPECT_EQ(job->mediaByte, 0x80);
  EXPECT_EQ(job->settings.sfQualityOption, 0x80);
  EXPECT_EQ(job->settings.borderless, 1);
  EXPECT_EQ(job->printModeIndex + 1, 3);  // only bit 7 set: the table key is 0
  encoder_->DestroyJobState(job);
  s.qualityCode = -1;  // one pass: never borderless
  h = HeaderFor(s, *encoder_);
  EXPECT_EQ(Bytes(h.begin() + 36, h.begin() + 38), (Bytes{'S', 46}));
}

TEST_F(PageCommands, CustomWidthAndEnvelopes) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.dm.dmPaperSize = 256;
  s.customWidth = 2100;
  Bytes h = HeaderFor(s, *encoder_);
  ASSERT_EQ(h.size(), 53u);
  EXPECT_EQ(Bytes(h.begin() + 34, h.begin() + 38), (Bytes{'s', 0xFF, 0xE8, 0x02}));

  s.dm.dmPaperSize = 27;  // DL
  h = HeaderFor(s, *encoder_);
  EXPECT_EQ(Bytes(h.begin() + 34, h.begin() + 45),
            (Bytes{'s', 10, 'S', 0x1A, 0x01, 0x36, 0x02, 0x46, 0x00, 0x46, 0x00}));
  s.mediaDependentValue = 2;  // top and bottom exchanged
  h = HeaderFor(s, *encoder_);
  EXPECT_EQ(Bytes(h.begin() + 36, h.begin() + 41), (Bytes{'S', 0x36, 0x02, 0x1A, 0x01}));
}

TEST_F(PageCommands, DocumentAndPageFrame) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Page(Settings(), 1, 1), 0);
  ASSERT_EQ(Exit(), 0);
  const Bytes& b = capture.bytes;
  ASSERT_EQ(b.size(), 3335u + 51u + 1u + 3330u);
  EXPECT_EQ(std::count(b.begin(), b.begin() + 3328, 0), 3328);
  EXPECT_EQ(Bytes(b.begin() + 3328, b.begin() + 3335), (Bytes{0x1B, 0x7C, 0x01, 0x00, 0x09, 0x1B, 0x40}));
  EXPECT_EQ(b[3335 + 51], 0x0C);
  EXPECT_EQ(Bytes(b.begin() + 3387, b.begin() + 3389), (Bytes{0x1B, 0x40}));
  EXPECT_EQ(std::count(b.begin() + 3389, b.end(), 0), 3328);
}

struct AreaCase {
  int16_t paper;
  int16_t quality;
  uint32_t mediaDependent;
  int32_t width, height;
  PrintableRect rect;
};

TEST_F(PageCommands, PrintableAreaFollowsPaperAndResolution) {
  ASSERT_EQ(Init(), 0);
  const AreaCase cases[] = {
      {9, -3, 0, 4960, 7016, {70, 70, 4890, 6946}},
      {9, -1, 0, 1240, 1754, {17, 17, 1223, 1737}},
      {9, -2, 0, 2480, 3508, {35, 35, 2445, 3473}},
      {27, -3, 0, 2598, 5196, {70, 282, 2528, 4630}},
      {27, -3, 2, 2598, 5196, {70, 566, 2528, 4914}},
      {274, -3, 0, 4960, 7016, {46, 46, 4914, 6970}},
      {275, -3, 0, 5100, 6600, {70, 46, 5030, 6554}},
  };
  for (const AreaCase& c : cases) {
    SCOPED_TRACE(c.paper);
    SettingsRecord s = Settings();
    s.dm.dmPaperSize = c.paper;
    s.qualityCode = c.quality;
    s.mediaDependentValue = c.mediaDependent;
    void* state = nullptr;
    ASSERT_EQ(encoder_->CreateJobState(&s, sizeof s, &state), 0);
    PrintableRect r;
    EXPECT_EQ(encoder_->GetPrintableArea(state, c.width, c.height, &r), 0);
    EXPECT_EQ(r.left, c.rect.left);
    EXPECT_EQ(r.top, c.rect.top);
    EXPECT_EQ(r.right, c.rect.right);
    EXPECT_EQ(r.bottom, c.rect.bottom);
    EXPECT_EQ(encoder_->GetPrintableArea(state, 2 * c.rect.left, c.height, &r),
              QVENC_E_NO_PRINTABLE_AREA);
    EXPECT_EQ(encoder_->GetPrintableArea(state, c.width, c.height, nullptr), QVENC_E_NO_RECTANGLE);
    encoder_->DestroyJobState(state);
  }
}

TEST(BandFamily, FollowsDocumentTypeHalftoneAndMode) {
  struct Case {
    uint8_t docType, halftone;
    uint16_t mediaType;
    uint16_t code;
    int family;
  } cases[] = {
      {1, 2, 0, 0x107, 1}, {1, 2, 0, 0x300, 2}, {2, 1, 0, 0x107, 2}, {3, 1, 0, 0x300, 1},
      {3, 2, 0, 0x107, 2}, {3, 1, 0, 0x500, 2}, {3, 1, 8, 0x107, 2}, {4, 1, 0, 0x107, 1},
      {1, 1, 1, 0x5107, 2},
  };
  for (const Case& c : cases) {
    SettingsRecord s = Settings();
    s.docType = c.docType;
    s.halftone = c.halftone;
    s.mediaType = c.mediaType;
    EXPECT_EQ(BandFamily(s, c.code), c.family) << int(c.docType) << " " << c.code;
  }
  SettingsRecord s = Settings();
  s.multibitMode = 1;
  EXPECT_EQ(WithMultibitForFamily(s, 0x300, 2), 0x2300);
  EXPECT_EQ(WithMultibitForFamily(s, 0x2300, 1), 0x300);
  EXPECT_EQ(WithMultibitForFamily(s, 0x205, 2), 0x2205);
  EXPECT_EQ(WithMultibitForFamily(s, 0x107, 2), 0x107);
  EXPECT_EQ(InkModeByte(0x3300), 0x30);
}

}  // namespace
}  // namespace qvx::enc::test
