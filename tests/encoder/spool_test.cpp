// Copies, collation and reverse order: which sections reach the callback, in
// which order, and that no spool file outlives the job whatever fails.
#include <gtest/gtest.h>

#include "encoder_job.h"

namespace qvx::enc::test {
namespace {

// Three pages told apart by their paper: Letter, A4, A5 give p1, p2, p3.
constexpr int16_t kPapers[] = {1, 9, 5};

struct SpoolCase {
  const char* name;
  int16_t copies;
  bool collate, reverse;
  uint8_t mode;
  const char* stream;
};

class SpoolModes : public EncoderJob, public ::testing::WithParamInterface<SpoolCase> {};

TEST_P(SpoolModes, SectionsReachTheCallbackInOrder) {
  const SpoolCase& c = GetParam();
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = Settings();
  s.dm.dmCopies = c.copies;
  s.collateJob = c.collate;
  s.reverseJob = c.reverse;
  for (int page = 0; page < 3; ++page) {
    s.dm.dmPaperSize = kPapers[page];
    ASSERT_EQ(Page(s, 7, page + 1), 0);
  }
  EXPECT_EQ(encoder_->spoolMode(), c.mode);
  if (c.mode >= 3) {
    EXPECT_TRUE(capture.bytes.empty());  // held back until the document ends
  }
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Stream(), c.stream);
  EXPECT_EQ(platform.spoolFiles, c.mode == 0 ? 0 : 1);
  EXPECT_EQ(platform.LeftOver(), 0);
  EXPECT_EQ(platform.live, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Spool, SpoolModes,
    ::testing::Values(SpoolCase{"OneCopy", 1, true, false, 0, "H p1 p2 p3 T"},
                      SpoolCase{"TwoCollated", 2, true, false, 3, "H p1 p2 p3 T H p1 p2 p3 T"},
                      SpoolCase{"TwoUncollated", 2, false, false, 1, "H p1 p1 p2 p2 p3 p3 T"},
                      SpoolCase{"Reverse", 1, false, true, 4, "H p3 p2 p1 T"},
                      SpoolCase{"ReverseTwoUncollated", 2, false, true, 4, "H p3 p3 p2 p2 p1 p1 T"},
                      SpoolCase{"ReverseTwoCollated", 2, true, true, 5, "H p3 p2 p1 p3 p2 p1 T"}),
    [](const auto& info) { return std::string(info.param.name); });

using Spool = EncoderJob;

SettingsRecord TwoCollated() {
  SettingsRecord s = Settings();
  s.dm.dmCopies = 2;
  s.collateJob = 1;
  return s;
}

TEST_F(Spool, EachDocumentIsReplayedWhenItEnds) {
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = TwoCollated();
  ASSERT_EQ(Page(s, 1, 1), 0);
  ASSERT_EQ(Page(s, 2, 1), 0);
  EXPECT_EQ(Stream(), "H p2 T H p2 T");  // the first document went out at the second's start
  EXPECT_EQ(platform.LeftOver(), 1);
  EXPECT_EQ(Exit(), 0);
  EXPECT_EQ(Stream(), "H p2 T H p2 T H p2 T H p2 T");
  EXPECT_EQ(platform.LeftOver(), 0);
}

TEST_F(Spool, FolderIsCreatedWithItsParentAndOpenToEveryone) {
  ASSERT_FALSE(std::filesystem::exists(platform.SpoolFolder().parent_path()));
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Page(TwoCollated(), 1, 1), 0);
  ASSERT_TRUE(std::filesystem::is_directory(platform.SpoolFolder()));
#ifndef _WIN32
  for (const auto& folder : {platform.SpoolFolder(), platform.SpoolFolder().parent_path()})
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::all)
        << folder;
#endif
  EXPECT_EQ(Exit(), 0);
}

TEST_F(Spool, AbortDeliversNothingAndDeletesTheFile) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Page(TwoCollated(), 1, 1), 0);
  ASSERT_EQ(Page(TwoCollated(), 1, 2), 0);
  EXPECT_EQ(platform.LeftOver(), 1);
  EXPECT_EQ(Abort(), 0);
  EXPECT_TRUE(capture.bytes.empty());
  EXPECT_EQ(capture.calls, 0);
  EXPECT_EQ(platform.LeftOver(), 0);
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Spool, UncollatedCopiesStopAtAbortToo) {
  ASSERT_EQ(Init(), 0);
  SettingsRecord s = TwoCollated();
  s.collateJob = 0;
  ASSERT_EQ(Page(s, 1, 1), 0);
  const size_t before = capture.bytes.size();
  EXPECT_EQ(Abort(), 0);
  EXPECT_EQ(capture.bytes.size(), before);
  EXPECT_EQ(platform.LeftOver(), 0);
}

TEST_F(Spool, CallbackFailingDuringReplayIsReportedAndFilesAreDeleted) {
  capture.failAtCall = 3;  // second page section of the first copy
  ASSERT_EQ(Init(), 0);
  const SettingsRecord s = TwoCollated();
  ASSERT_EQ(Page(s, 1, 1), 0);
  ASSERT_EQ(Page(s, 1, 2), 0);
  EXPECT_EQ(Exit(), -77);
  EXPECT_EQ(platform.LeftOver(), 0);
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Spool, UnreadableSpoolFileIsReportedAndDeleted) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Page(TwoCollated(), 1, 1), 0);
  platform.failReads = true;
  EXPECT_EQ(Exit(), QVENC_E_SPOOL_SECTION);
  EXPECT_TRUE(capture.bytes.empty());
  EXPECT_EQ(platform.LeftOver(), 0);
}

TEST_F(Spool, FailingSpoolWritesAreReportedAndCleanedUp) {
  platform.failWritesFrom = 1;
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Page(TwoCollated(), 1, 1), QVENC_E_SPOOL_WRITE);
  EXPECT_LT(Exit(), 0);
  EXPECT_EQ(platform.LeftOver(), 0);
  EXPECT_EQ(platform.live, 0);
}

TEST_F(Spool, SectionHeaderThatCannotBeWrittenIsReported) {
  platform.failWritesFrom = 2;  // the header section's data goes in, its 8-byte header not
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Page(TwoCollated(), 1, 1), QVENC_E_SPOOL_HEADER);
  Exit();
  EXPECT_EQ(platform.LeftOver(), 0);
}

struct SpoolFileFault {
  const char* name;
  void (*arm)(FaultPlatform&);
  int32_t status;
};

class SpoolFileFaults : public EncoderJob, public ::testing::WithParamInterface<SpoolFileFault> {};

TEST_P(SpoolFileFaults, DocumentStartFailsWithItsStatus) {
  GetParam().arm(platform);
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Page(TwoCollated(), 1, 1), GetParam().status);
  Exit();
  EXPECT_EQ(platform.LeftOver(), 0);
  EXPECT_EQ(platform.live, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Spool, SpoolFileFaults,
    ::testing::Values(
        SpoolFileFault{"Folder", [](FaultPlatform& p) { p.failFolder = true; }, -15},
        SpoolFileFault{"TempName", [](FaultPlatform& p) { p.failTempName = true; }, -16},
        SpoolFileFault{"Create", [](FaultPlatform& p) { p.failCreate = true; }, -17},
        SpoolFileFault{"List",
                       [](FaultPlatform& p) {
                         p.failAllocation = [](int, size_t bytes) { return bytes == 524; };
                       },
                       -28}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvx::enc::test
