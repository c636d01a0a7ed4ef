#include "decoder.h"

#include <gtest/gtest.h>

#include "raster_job.h"

namespace qvx::decode {
namespace {

std::vector<uint8_t> GoodStream() {
  const raster::test::Job job = raster::test::MakeJob(raster::test::kModeCases[2], raster::test::Ink::Colour);
  raster::RasterPipeline p(
      raster::ReadRasterSettings(reinterpret_cast<const uint8_t*>(&job.record), sizeof job.record),
      raster::test::Geometry(job.row));
  return raster::test::RunPage(p, job, raster::test::Noise(40, 200));
}

size_t Find(const std::vector<uint8_t>& s, uint8_t what, size_t from = 0) {
  for (size_t i = from; i < s.size(); ++i)
    if (s[i] == what) return i;
  return s.size();
}

TEST(Decoder, ReportsTheFirstMalformedCommand) {
  const std::vector<uint8_t> good = GoodStream();
  ASSERT_TRUE(DecodeStream(good.data(), good.size()).ok);
  const size_t swath = Find(good, 'i');
  ASSERT_LT(swath, good.size());
  struct Case {
    const char* what;
    std::vector<uint8_t> stream;
    size_t offset;
  };
  std::vector<Case> cases;
  {
    auto s = good;
    s[swath] = 0x99;  // unknown command letter
    cases.push_back({"unknown letter", s, swath});
  }
  {
    auto s = good;
    s[swath + 10] = 'Q';  // first row of the swath neither Z nor G
    cases.push_back({"bad row", s, swath + 5});
  }
  {
    auto s = good;
    s[swath + 6] = 0xFF, s[swath + 7] = 0xFF;  // swath length beyond the stream
    cases.push_back({"long swath", s, swath + 5});
  }
  {
    auto s = std::vector<uint8_t>(good.begin(), good.begin() + long(swath) + 3);  // cut in r
    cases.push_back({"truncated", s, swath});  // the swath header it opens is incomplete
  }
  for (const Case& c : cases) {
    const Stream s = DecodeStream(c.stream.data(), c.stream.size());
    EXPECT_FALSE(s.ok) << c.what;
    EXPECT_EQ(s.errorOffset, c.offset) << c.what << ": " << s.error;
  }
  const auto cut = std::vector<uint8_t>(good.begin(), good.end() - 1);  // no form feed
  EXPECT_FALSE(DecodeStream(cut.data(), cut.size()).ok);
}

TEST(Decoder, SummaryAndPreviewDescribeThePage) {
  const std::vector<uint8_t> good = GoodStream();
  const Stream s = DecodeStream(good.data(), good.size());
  ASSERT_EQ(s.pages.size(), 1u);
  const std::string json = SummaryJson(s, 2);
  EXPECT_NE(json.find("\"sourceDpi\": 600"), std::string::npos);
  EXPECT_NE(json.find("\"regions\""), std::string::npos);
  int w = 0, h = 0;
  const auto rgb = RenderPage(s.pages[0], 40, 200, 0.5, &w, &h);
  EXPECT_EQ(w, 20);
  EXPECT_EQ(h, 100);
  ASSERT_EQ(rgb.size(), size_t(w) * h * 3);
  EXPECT_LT(rgb[3 * (50 * w + 10)], 250);  // ink shows on the paper
}

}  // namespace
}  // namespace qvx::decode
