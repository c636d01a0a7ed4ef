#include "weave.h"

#include <gtest/gtest.h>

#include "decoder.h"
#include "raster_job.h"

namespace qvx::raster {
namespace {

using test::Ink;
using test::kModeCases;

TEST(WeaveTables, TwoPassRowMatchesTheHeadExample) {
  const WeaveTables t = BuildWeave(test::Geometry(1));
  ASSERT_EQ(t.lines.size(), 1u);
  const auto& l = t.lines[0];
  const WeaveEntry expected[] = {{0, 0, 1, 46}, {1, 47, 0, 0}, {0, 1, 1, 47}, {1, 48, 0, 1}};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(l[j].colourSwath, expected[j].colourSwath) << j;
    EXPECT_EQ(l[j].colourRow, expected[j].colourRow) << j;
    EXPECT_EQ(l[j].blackSwath, expected[j].blackSwath) << j;
    EXPECT_EQ(l[j].blackRow, expected[j].blackRow) << j;
  }
  EXPECT_EQ(t.swath, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(t.collect, (std::vector<uint16_t>{93, 93}));
  EXPECT_EQ(t.feed, (std::vector<uint16_t>{93, 93}));
}

// Encodes a busy page in one print mode, decodes the stream, and checks that
// every woven line came back at its own place exactly once.
void CheckCoverage(const test::ModeCase& m, Ink ink, int width, int height, int bandRows,
                   uint8_t compression = 2) {
  const test::Job job = test::MakeJob(m, ink, compression);
  ASSERT_EQ(job.row, m.row) << m.name;
  RasterPipeline pipeline(ReadRasterSettings(reinterpret_cast<const uint8_t*>(&job.record), sizeof job.record),
                          test::Geometry(job.row));
  std::vector<std::array<std::vector<uint8_t>, 4>> tapped;
  int subPasses = PassClass(job.code) == 6 ? 2 : PassClass(job.code) == 7 ? 5 : 1;
  pipeline.lineTap = [&](long line, const uint8_t* const planes[4], size_t n) {
    ASSERT_EQ(line, long(tapped.size()));
    tapped.emplace_back();
    for (int c = 0; c < 4; ++c) tapped.back()[c].assign(planes[c], planes[c] + n);
  };
  const test::Image im = test::Noise(width, height, m.row + 1);
  const std::vector<uint8_t> stream = test::RunPage(pipeline, job, im, bandRows);
  ASSERT_EQ(tapped.size(), size_t(height) * LinesPerSourceRow(job.code)) << m.name;

  const decode::Stream s = decode::DecodeStream(stream.data(), stream.size());
  ASSERT_TRUE(s.ok) << m.name << ": " << s.error << " at " << s.errorOffset;
  ASSERT_EQ(s.pages.size(), 1u);
  const decode::Page& page = s.pages[0];
  // Rows that differ only in what the stream does not show share their head geometry.
  const WeaveTables own = BuildWeave(test::Geometry(m.row));
  EXPECT_EQ(page.weave.pitch, own.pitch) << m.name;
  EXPECT_EQ(page.weave.used, own.used) << m.name;
  EXPECT_EQ(page.weave.nozzles, own.nozzles) << m.name;
  const bool mono = MonoOnly(job.code);
  size_t inkedRows = 0;
  for (size_t line = 0; line < tapped.size(); ++line) {
    for (int c = mono ? 3 : 0; c < 4; ++c) {
      const std::vector<uint8_t>& want = tapped[line][c];
      const bool inked = std::any_of(want.begin(), want.end(), [](uint8_t b) { return b != 0; });
      const bool present = line < page.planes[c].size() && !page.planes[c][line].empty();
      ASSERT_EQ(present, inked) << m.name << " line " << line << " plane " << c;
      if (!inked) continue;
      ++inkedRows;
      ASSERT_EQ(page.placed[c][line], 1) << m.name << " line " << line << " plane " << c;
      ASSERT_EQ(page.planes[c][line], want) << m.name << " line " << line << " plane " << c;
    }
    // The sub-passes of one halftoned line never print the same pixel twice.
    if (subPasses > 1 && line % subPasses == 0 && line + subPasses <= tapped.size()) {
      for (int c = 0; c < 4; ++c)
        for (int a = 0; a < subPasses; ++a)
          for (int b = a + 1; b < subPasses; ++b)
            for (size_t i = 0; i < tapped[line][c].size(); ++i)
              ASSERT_EQ(tapped[line + a][c][i] & tapped[line + b][c][i], 0) << m.name << " line " << line;
    }
  }
  for (int c = 0; c < 4; ++c)  // nothing lands below the page
    EXPECT_LE(page.planes[c].size(), tapped.size()) << m.name;
  EXPECT_GT(inkedRows, tapped.size() * (mono ? 1 : 4) / 2) << m.name;  // the page really was busy
}

class WeaveCoverage : public ::testing::TestWithParam<test::ModeCase> {};

TEST_P(WeaveCoverage, EveryLineOfEveryPlaneOnceInColourAndMonochrome) {
  const test::ModeCase& m = GetParam();
  // Tall enough for several turns of the longest weave; an odd height ends
  // mid-cycle, and bands of 96 rows with a short last one as the encoder sends.
  const int height = PassClass(test::MakeJob(m, Ink::Colour).code) >= 5 ? 451 : 613;
  CheckCoverage(m, Ink::Colour, 41, height, 96);
  CheckCoverage(m, Ink::ColourMultibit, 37, height, 96);
  CheckCoverage(m, Ink::Mono, 29, height, 96);
}

// Rows longer than the usual plane stride (wide paper at 1200 dpi, two bits),
// and the other row codings; "no compression" is sent as PackBits, the only
// coding its compression command can announce.
TEST(WeaveCoverageMore, WideRowsAndEveryCoding) {
  CheckCoverage(kModeCases[3], Ink::ColourMultibit, 6400, 24, 96);
  for (uint8_t compression : {0, 1, 3}) CheckCoverage(kModeCases[2], Ink::Colour, 53, 200, 96, compression);
  EXPECT_EQ(CodingFor(0), RowCoding::PackBits);
}

INSTANTIATE_TEST_SUITE_P(PrintModes, WeaveCoverage, ::testing::ValuesIn(kModeCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvx::raster
