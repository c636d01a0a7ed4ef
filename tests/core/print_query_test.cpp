// The print query's message formatter and its checks of a held job.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "print_query.h"
#include "printer_data.h"
#include "settings_fixture.h"
#include "trays.h"

namespace qvx::test {
namespace {

using core::QueryArg;
namespace msg = core::query_message;

struct FormatCase {
  const char16_t* format;
  std::vector<QueryArg> args;
  const char16_t* expected;
};

TEST(FormatQueryMessage, Directives) {
  core::FakePlatform platform;
  platform.ownStrings = {{1057, u"Load %s paper into %s."}, {1049, u"Unknown paper."}, {7, u"[%!]"}};
  const FormatCase cases[] = {
      {u"plain", {}, u"plain"},
      {u"%!", {1049u}, u"Unknown paper."},
      {u"%!", {1057u, u"A4", u"Cassette 1"}, u"Load A4 paper into Cassette 1."},
      {u"%d|%u|%x|%X", {uint32_t(-5), 4000000000u, 0xBEEFu, 0xBEEFu}, u"-5|4000000000|beef|BEEF"},
      {u"%c%c", {uint32_t(u'O'), uint32_t(u'K')}, u"OK"},
      {u"100%% %q", {}, u"100% q"},
      {u"%!|%s", {99u, u"x"}, u"|x"},            // a missing string inserts nothing
      {u"%s|%d", {}, u"|"},                      // so do missing arguments
      {u"%d", {u"text"}, u""},                   // and arguments of the wrong kind
      {u"%!", {7u, 7u, 7u, 7u, 7u, 7u}, u"[[[[[%!]]]]]"},  // nesting stops
      {u"end%", {}, u"end%"},
  };
  for (const FormatCase& c : cases) {
    char16_t buffer[64];
    size_t needed = 0;
    const size_t written = core::FormatQueryMessage(platform, core::StringSource::Own, buffer, 64, &needed,
                                                    c.format, c.args);
    EXPECT_EQ(std::u16string(buffer), c.expected);
    EXPECT_EQ(written, std::u16string_view(c.expected).size());
    EXPECT_EQ(needed, written + 1);
  }
}

TEST(FormatQueryMessage, ShortBuffers) {
  core::FakePlatform platform;
  const std::array<QueryArg, 1> args{std::u16string_view(u"Letter")};
  char16_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  size_t needed = 0;
  EXPECT_EQ(core::FormatQueryMessage(platform, core::StringSource::Own, buffer, 5, &needed, u"Load %s", args), 4u);
  EXPECT_EQ(std::u16string(buffer), u"Load");
  EXPECT_EQ(buffer[5], u'#');
  EXPECT_EQ(needed, 12u);
  EXPECT_EQ(core::FormatQueryMessage(platform, core::StringSource::Own, buffer, 0, &needed, u"Load %s", args), 0u);
  EXPECT_EQ(buffer[0], u'L') << "no room even for the terminator: nothing written";
  EXPECT_EQ(core::FormatQueryMessage(platform, core::StringSource::Own, nullptr, 100, &needed, u"Load %s", args),
            0u);
  EXPECT_EQ(needed, 12u);
}

class PrintQueryTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    printer_->forms = std::vector<core::FormInfo>{{core::kFormBuiltin, u"A4", 210000, 297000},
                                                  {core::kFormBuiltin, u"Letter", 215900, 279400}};
  }

  core::QueryVerdict Query(const SettingsRecord& job, size_t size = sizeof(SettingsRecord)) {
    core::FakePrinter printer(printer_);
    return core::EvaluatePrintQuery(platform_, printer, image_, &job, size);
  }

  void LoadTrays(std::vector<core::TrayFormEntry> entries) {
    const auto bytes = core::EncodeTrayFormTable(entries);
    core::FakePrinter printer(printer_);
    core::WriteSizedValue(printer, u"TrayFormSize", u"TrayFormTable", bytes->data(), bytes->size());
  }
};

TEST_F(PrintQueryTest, DefaultsPrint) {
  EXPECT_TRUE(Query(Defaults()).printable);
  core::FakePrinter printer(printer_);
  EXPECT_TRUE(core::EvaluatePrintQuery(platform_, printer, image_, nullptr, 0).printable);
  EXPECT_EQ(core::EvaluatePrintQuery(platform_, printer, nullptr, &printer, 4).message, msg::kNoDescription);
}

TEST_F(PrintQueryTest, PaperChecks) {
  SettingsRecord job = Defaults();
  job.dm.dmFields &= ~dm::kPaperSize;
  EXPECT_EQ(Query(job).message, msg::kPaperUnknown) << "no paper size given";
  job = Defaults();
  job.dm.dmPaperSize = 12345;
  EXPECT_EQ(Query(job).message, msg::kPaperUnknown);
  job.dm.dmPaperSize = 256;
  EXPECT_EQ(Query(job).message, msg::kCustomSize);

  // Manual feed needs the form among the description's papers.
  job = Defaults();
  job.dm.dmFields |= dm::kDefaultSource;
  job.dm.dmDefaultSource = 4;
  EXPECT_TRUE(Query(job).printable);
  printer_->forms = std::vector<core::FormInfo>{{core::kFormUser, u"A4", 1, 1}};
  EXPECT_EQ(Query(job).message, msg::kManualFeedForm);
}

TEST_F(PrintQueryTest, TrayFormTable) {
  description_.Feature(kFeatureInputSlot, {{"Upper", ""}, {"Lower", "", "Lower cassette"}});
  image_ = description_.Build();
  LoadTrays({{u"Lower cassette", u"Letter", u"Letter", 0}});

  SettingsRecord job = Defaults();  // A4 from the feeder (15): the form alone is looked for
  core::QueryVerdict verdict = Query(job);
  EXPECT_EQ(verdict.message, msg::kFormNotLoaded);
  EXPECT_EQ(verdict.form, u"A4");
  EXPECT_EQ(verdict.tray, u"");

  job.dm.dmPaperSize = 1;
  EXPECT_TRUE(Query(job).printable);

  job.dm.dmFields |= dm::kDefaultSource;
  job.dm.dmDefaultSource = 256;  // "Upper": Letter is not loaded there
  verdict = Query(job);
  EXPECT_EQ(verdict.message, msg::kFormNotLoaded);
  EXPECT_EQ(verdict.form, u"Letter");
  EXPECT_EQ(verdict.tray, u"Upper");
  job.dm.dmDefaultSource = 257;
  EXPECT_TRUE(Query(job).printable);
}

TEST_F(PrintQueryTest, Resolution) {
  SettingsRecord job = Defaults();
  job.dm.dmFields |= dm::kPrintQuality;
  job.dm.dmPrintQuality = 300;
  EXPECT_TRUE(Query(job).printable) << Query(job).message;

  TestImage image;
  image.Feature(kFeaturePageSize, {{"A4", "", "", PaperFixed(2100), PaperFixed(2970)}})
      .Feature(kFeaturePaper, {{"A4", "9"}})
      .Feature(kFeatureResolution, {{"300dpi", ""}}, 300);
  image_ = image.Build();
  job = Defaults();
  EXPECT_EQ(job.dm.dmPrintQuality, 600);
  EXPECT_EQ(Query(job).message, msg::kResolution);
  job.dm.dmFields |= dm::kPrintQuality;
  job.dm.dmPrintQuality = 300;
  EXPECT_TRUE(Query(job).printable) << Query(job).message;
}

TEST_F(PrintQueryTest, OptionConflictWithThePrinterSetup) {
  // Glossy media (document feature 6, option 1) cannot be used with the
  // printer's standard memory (printer feature at list position 7, option 0).
  struct {
    ConstraintTable table;
    ConstraintRecord record;
  } constraints{{1, sizeof(ConstraintRecord)}, {7, 0, 6, 1}};
  const_cast<DescriptionImage*>(image_)->constraints.value = reinterpret_cast<uintptr_t>(&constraints);

  SettingsRecord job = Defaults();
  EXPECT_TRUE(Query(job).printable);
  job.optionSelections[6] = 1;
  EXPECT_EQ(Query(job).message, msg::kConflict);
}

TEST_F(PrintQueryTest, SelectionsFollowThePublicFields) {
  SettingsRecord record = Defaults();
  record.dm.dmFields |= dm::kDuplex | dm::kPrintQuality | dm::kFormName;
  record.dm.dmDuplex = 3;
  record.dm.dmPrintQuality = 300;
  core::StoreText(record.dm.dmFormName, 32, u"Letter");
  core::UpdateSelectionsFromPublicFields(record, image_);
  EXPECT_EQ(record.optionSelections[3], 2) << "DuplexTumble";
  EXPECT_EQ(record.optionSelections[4], 0) << "300dpi";
  EXPECT_EQ(record.optionSelections[0], 1) << "Letter";

  record.dm.dmDuplex = 9;
  record.dm.dmPrintQuality = 720;
  core::StoreText(record.dm.dmFormName, 32, u"Tabloid");
  core::UpdateSelectionsFromPublicFields(record, image_);
  EXPECT_EQ(record.optionSelections[3], 0) << "None";
  EXPECT_EQ(record.optionSelections[4], 255);
  EXPECT_EQ(record.optionSelections[0], 255);
}

TEST_F(PrintQueryTest, ShortAndForeignJobRecords) {
  // A bare public record: only what it holds is read.
  SettingsRecord job = Defaults();
  EXPECT_TRUE(Query(job, sizeof(DevModeW)).printable);
  // Claims larger than the bytes given are not believed.
  job.dm.dmDriverExtra = 60000;
  EXPECT_TRUE(Query(job, sizeof(DevModeW)).printable);
  EXPECT_EQ(Query(job, 16).message, msg::kBadSettings) << "not a settings record at all";
}

}  // namespace
}  // namespace qvx::test
