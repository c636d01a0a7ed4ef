// Job lifecycle through the entry points' work functions: documents and pages
// from ids, row clipping and band buffering, status codes, clean-up on faults.
#include <gtest/gtest.h>

#include "encoder_job.h"

namespace qvx::enc::test {
namespace {

// 200 x 300 pixels at 150 dpi: margins of 17 pixels, printable rows 17..282.
constexpr int32_t kTop = 17;
constexpr int32_t kPrintableRows = 266;

using Lifecycle = EncoderJob;

TEST_F(Lifecycle, RowsOutsideThePrintableAreaAreDroppedAndBandsHave96Rows) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  // A first call that holds only rows above the printable top passes nothing on.
  QvEncPageInfo info = PageInfo(1, 1, 10);
  auto rows = Rows(info, 0);
  EXPECT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), 0);
  EXPECT_TRUE(bands.empty());
  for (int32_t row = 10; row < 300; row += 50) {
    info = PageInfo(1, 1, std::min(50, 300 - row));
    rows = Rows(info, row);
    ASSERT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), 0);
  }
  ASSERT_EQ(bands.size(), 3u);
  const int32_t expected[3][2] = {{0, 96}, {96, 96}, {192, 74}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(bands[i].firstRow, expected[i][0]);
    EXPECT_EQ(bands[i].rowCount, expected[i][1]);
    EXPECT_EQ(bands[i].width, 166);
    EXPECT_EQ(bands[i].bandsDone, static_cast<int32_t>(i));
  }
  // Band rows start at the printable left edge of printable row 0 (page row 17)
  // and the last one is page row 282.
  EXPECT_EQ(bands[0].firstPixel[0], kTop);
  EXPECT_EQ(bands[0].firstPixel[2], 17);
  EXPECT_EQ(bands[2].lastPixel[0], 282 & 0xFF);
  EXPECT_EQ(bands[2].lastPixel[1], 282 >> 8);
  EXPECT_EQ(encoder_->job()->bandCount, 3);
  EXPECT_EQ(encoder_->job()->lastBandHeight, 74);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Stream(), "H p2 T");
}

TEST_F(Lifecycle, WholePageColourEnhancementMakesThePageOneBand) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.cmFlag = 1;
  ASSERT_EQ(Page(s, 1, 1, 64), 0);
  ASSERT_EQ(bands.size(), 1u);
  EXPECT_EQ(bands[0].firstRow, 0);
  EXPECT_EQ(bands[0].rowCount, kPrintableRows);
  EXPECT_EQ(encoder_->job()->wholePage, 1);
}

TEST_F(Lifecycle, BandBufferThatCannotBeHadIsNegotiatedDown) {
  // 96-row buffer refused: the printer class proposes 48 rows.
  platform.failAllocation = [](int, size_t bytes) { return bytes == 166u * 3 * 96; };
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Page(Settings(), 1, 1), 0);
  ASSERT_EQ(bands.size(), 6u);
  EXPECT_EQ(bands[5].firstRow, 240);
  EXPECT_EQ(bands[5].rowCount, 26);
  EXPECT_EQ(encoder_->job()->bandCount, 6);
  EXPECT_EQ(encoder_->job()->lastBandHeight, 26);
}

TEST_F(Lifecycle, InvertedRowsAreInvertedWithoutTouchingTheCallersRows) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  QvEncPageInfo info = PageInfo(1, 1, 300);
  info.invertRows = 1;
  auto rows = Rows(info, 0);
  const auto original = rows;
  ASSERT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), 0);
  EXPECT_EQ(rows, original);
  ASSERT_FALSE(bands.empty());
  EXPECT_EQ(bands[0].firstPixel[0], static_cast<uint8_t>(~kTop));
  EXPECT_EQ(bands[0].firstPixel[2], static_cast<uint8_t>(~17));
}

TEST_F(Lifecycle, PagesAndDocumentsFollowTheirIds) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  ASSERT_EQ(Page(s, 1, 1), 0);  // three calls with the same ids: one page
  ASSERT_EQ(Page(s, 1, 2), 0);
  ASSERT_EQ(Page(s, 2, 2), 0);  // a new document even with the same page id
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Stream(), "H p2 p2 T H p2 T");
}

TEST_F(Lifecycle, SettingsChangeBetweenPagesRebuildsTheStateInsideTheDocument) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  ASSERT_EQ(Page(s, 1, 1), 0);
  const JobState* first = encoder_->job();
  s.dm.dmPaperSize = 1;  // Letter
  ASSERT_EQ(Page(s, 1, 2), 0);
  EXPECT_NE(encoder_->job(), first);
  EXPECT_EQ(encoder_->job()->settings.dm.dmPaperSize, 1);
  ASSERT_EQ(Page(s, 1, 3), 0);  // unchanged record: same state
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Stream(), "H p2 p1 p1 T");
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Lifecycle, ConfigurationCopyIsBounded) {
  QvEncConfig config{};
  config.size = 5000;
  config.printerName[513] = 0x4142;  // last two bytes of the record
  auto encoder = std::make_unique<InkjetEncoder>(platform);
  InkjetEncoder* e = encoder.get();
  ASSERT_EQ(EncInitWith(std::move(encoder), &handle, &config, CaptureWrite, &capture), 0);
  EXPECT_EQ(e->config().size, 1032u);
  EXPECT_EQ(e->config().printerName[513], 0x4142);
  EXPECT_EQ(e->printer(), 0u);  // empty name: no printer
  config.size = 0;
  config.printerName[0] = u'X';
  EXPECT_EQ(EncReInit(handle, &config, nullptr, nullptr), 0);
  EXPECT_EQ(e->config().printerName[0], 0);
  EXPECT_EQ(e->config().printerName[513], 0);
}

TEST_F(Lifecycle, NamedPrinterIsOpenedWithFullAccessOrElseWithDefaults) {
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse);
    platform.refuseFullAccess = refuse;
    platform.printerOpens.clear();
    platform.printersClosed.clear();
    QvEncConfig config{};
    config.size = sizeof config;
    std::memcpy(config.printerName, u"Office", 14);
    auto encoder = std::make_unique<InkjetEncoder>(platform);
    InkjetEncoder* e = encoder.get();
    ASSERT_EQ(EncInitWith(std::move(encoder), &handle, &config, CaptureWrite, &capture), 0);
    std::vector<std::pair<std::u16string, bool>> expected = {{u"Office", true}};
    if (refuse) expected.emplace_back(u"Office", false);
    EXPECT_EQ(platform.printerOpens, expected);
    EXPECT_EQ(e->printerFullAccess(), !refuse);
    EXPECT_EQ(e->printerInfo().size(), 136u);
    EXPECT_EQ(Exit(), 0);
    EXPECT_EQ(platform.printersClosed, std::vector<uintptr_t>{0x5150});
  }
}

struct PageDataCase {
  const char* name;
  void (*change)(QvEncPageInfo&, uint32_t& settingsSize, bool& nullSettings);
  int32_t status;
};

class PageDataErrors : public EncoderJob, public ::testing::WithParamInterface<PageDataCase> {};

TEST_P(PageDataErrors, RefusedWithItsStatus) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  QvEncPageInfo info = PageInfo(1, 1, 100);
  const auto rows = Rows(info, 0);
  uint32_t size = sizeof s;
  bool nullSettings = false;
  GetParam().change(info, size, nullSettings);
  EXPECT_EQ(EncPageData(handle, nullSettings ? nullptr : &s, size, &info, rows.data()),
            GetParam().status);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(platform.live, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Lifecycle, PageDataErrors,
    ::testing::Values(
        PageDataCase{"NullSettings", [](QvEncPageInfo&, uint32_t&, bool& n) { n = true; }, -3},
        PageDataCase{"Settings2375", [](QvEncPageInfo&, uint32_t& z, bool&) { z = 2375; }, -1002},
        PageDataCase{"Settings2377", [](QvEncPageInfo&, uint32_t& z, bool&) { z = 2377; }, -1002},
        PageDataCase{"UnknownFormat", [](QvEncPageInfo& i, uint32_t&, bool&) { i.rasterFormat = 5; }, -6},
        PageDataCase{"OneBitFormat", [](QvEncPageInfo& i, uint32_t&, bool&) { i.rasterFormat = 1; }, -7},
        PageDataCase{"UnknownColour",
                     [](QvEncPageInfo& i, uint32_t&, bool&) { std::strcpy(i.colorSpace, "DeviceRGBX"); }, -8},
        PageDataCase{"UnterminatedColour",
                     [](QvEncPageInfo& i, uint32_t&, bool&) { std::memset(i.colorSpace, 'A', 11); }, -8},
        PageDataCase{"Gray",
                     [](QvEncPageInfo& i, uint32_t&, bool&) { std::strcpy(i.colorSpace, "DeviceGray"); }, -9},
        PageDataCase{"PageFlag", [](QvEncPageInfo& i, uint32_t&, bool&) { i.pageFlags = 1; }, -10},
        PageDataCase{"NegativeWidth", [](QvEncPageInfo& i, uint32_t&, bool&) { i.pageWidth = -200; }, -30},
        PageDataCase{"ZeroHeight", [](QvEncPageInfo& i, uint32_t&, bool&) { i.pageHeight = 0; }, -30},
        PageDataCase{"AbsurdWidth", [](QvEncPageInfo& i, uint32_t&, bool&) { i.pageWidth = 1 << 30; }, -30},
        PageDataCase{"NegativeBand", [](QvEncPageInfo& i, uint32_t&, bool&) { i.bandRows = -1; }, -30},
        PageDataCase{"AbsurdRowBits", [](QvEncPageInfo& i, uint32_t&, bool&) { i.rowBits = 0x7FFFFFF8; }, -30},
        PageDataCase{"RowShorterThanPrintableWidth",
                     [](QvEncPageInfo& i, uint32_t&, bool&) { i.rowBits = 182 * 24; }, -31},
        PageDataCase{"NoPrintableArea",
                     [](QvEncPageInfo& i, uint32_t&, bool&) { i.pageWidth = 34; i.rowBits = 34 * 24; }, -1020}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Lifecycle, NullArgumentsAndHandles) {
  EXPECT_EQ(EncInit(platform, nullptr, nullptr, CaptureWrite, &capture), QVENC_E_NULL_OUT_HANDLE);
  EXPECT_EQ(EncPageData(nullptr, nullptr, 0, nullptr, nullptr), -20);
  EXPECT_EQ(EncExit(nullptr), -21);
  EXPECT_EQ(EncAbort(nullptr), -22);
  EXPECT_EQ(EncReInit(nullptr, nullptr, nullptr, nullptr), -27);
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(EncPageData(handle, nullptr, 0, nullptr, nullptr), -2);
  // The record is needed only where a page starts.
  const SettingsRecord s = Settings();
  QvEncPageInfo info = PageInfo(1, 1, 100);
  auto rows = Rows(info, 0);
  ASSERT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), 0);
  EXPECT_EQ(EncPageData(handle, nullptr, 0, &info, rows.data()), 0);
  // Rows that are due but not given.
  EXPECT_EQ(EncPageData(handle, nullptr, 0, &info, nullptr), QVENC_E_NULL_ROWS);
}

TEST_F(Lifecycle, LaterBandWithShorterRowsIsRefused) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  QvEncPageInfo info = PageInfo(1, 1, 100);
  auto rows = Rows(info, 0);
  ASSERT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), 0);
  info.rowBits = 100 * 24;
  std::vector<uint8_t> shortRows(300 * 100);
  EXPECT_EQ(EncPageData(handle, &s, sizeof s, &info, shortRows.data()), QVENC_E_ROW_TOO_SHORT);
}

TEST_F(Lifecycle, PageThatEndsBeforeItsRowsIsReportedAndStillClosed) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = Settings();
  QvEncPageInfo info = PageInfo(1, 1, 100);
  auto rows = Rows(info, 0);
  ASSERT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), 0);
  EXPECT_TRUE(bands.empty());  // 83 rows wait in the band buffer
  // The next page's first call reports it and still starts that page.
  info = PageInfo(1, 2, 300);
  rows = Rows(info, 0);
  EXPECT_EQ(EncPageData(handle, &s, sizeof s, &info, rows.data()), QVENC_E_PAGE_INCOMPLETE);
  ASSERT_EQ(bands.size(), 4u);
  EXPECT_EQ(bands[0].rowCount, 83);  // what arrived is still passed on
  EXPECT_EQ(bands[1].firstPixel[0], kTop);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Stream(), "H p2 p2 T");
}

TEST_F(Lifecycle, AbortSendsNothingMoreAndFreesEverything) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Page(Settings(), 1, 1), 0);
  const size_t before = capture.bytes.size();
  EXPECT_GT(before, 0u);
  EXPECT_EQ(Abort(), 0);
  EXPECT_EQ(capture.bytes.size(), before);  // not even the page trailer
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Lifecycle, FailingCallbackIsReportedByTheCallThatWrote) {
  capture.failAtCall = 1;  // the document header
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Page(Settings(), 1, 1), -77);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Lifecycle, OutputBufferThatCannotBeHadFailsInit) {
  platform.failAllocation = [](int, size_t bytes) { return bytes == 0x100000; };
  EXPECT_EQ(Init(), QVENC_E_OUTPUT_BUFFER);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Lifecycle, JobStateAllocationFailuresEachHaveTheirStatusAndLeakNothing) {
  // Allocation 1 is the output buffer; the job state's come next, in order.
  const int32_t expected[] = {-1003, -1004, -1005, -1006, -1007, -1008, -1009, -1010, -1011,
                              -1012, -1013, -1014, -1015, -1016, -1017, -1018, -1018};
  for (size_t k = 0; k < std::size(expected); ++k) {
    SCOPED_TRACE(k);
    const int failing = static_cast<int>(k) + 2;
    platform.allocations = 0;
    platform.failAllocation = [failing](int index, size_t) { return index == failing; };
    ASSERT_EQ(Init(), 0);
    EXPECT_EQ(Page(Settings(), 1, 1), expected[k]);
    EXPECT_EQ(platform.live, 1);  // only the output buffer
    EXPECT_EQ(Exit(), 0);
    EXPECT_EQ(platform.live, 0);
  }
}

}  // namespace
}  // namespace qvx::enc::test
