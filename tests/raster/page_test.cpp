// Whole jobs through the encoder's exports: synthetic pages go in, the stream
// is decoded by the virtual printer and compared with what the pages asked for.
#include <gtest/gtest.h>

#include <cstdio>

#include "decoder.h"
#include "qvenc.h"
#include "raster_job.h"

namespace qvx::raster {
namespace {

using test::Ink;

struct Capture {
  std::vector<uint8_t> bytes;
};

int32_t QVENC_CALL Collect(const void* bytes, uint32_t count, void* context) {
  auto* c = static_cast<Capture*>(context);
  const auto* p = static_cast<const uint8_t*>(bytes);
  c->bytes.insert(c->bytes.end(), p, p + count);
  return 0;
}

struct Printed {
  std::vector<uint8_t> stream;
  enc::Margins margins;  // in device pixels
  int resolution = 0;
};

// Prints one page image as the rendering filter would, in bands of 100 rows.
Printed Print(const SettingsRecord& record, const test::Image& page) {
  Printed out;
  Capture capture;
  EXPECT_EQ(test::PrintImage(record, page, 100, Collect, &capture), 0);
  out.stream = std::move(capture.bytes);
  const int preset = enc::QualityPreset(record.mediaType, record.qualityCode);
  out.resolution = enc::ResolutionForPreset(preset);
  const enc::Margins m = enc::PaperMargins(record.dm.dmPaperSize, 0);
  out.margins = {m.top * out.resolution / 600, m.bottom * out.resolution / 600,
                 m.left * out.resolution / 600, m.right * out.resolution / 600};
  return out;
}

test::Image Page(test::Image (*make)(int, int), double inchesWide, double inchesHigh, int dpi) {
  return make(int(inchesWide * dpi), int(inchesHigh * dpi));
}

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
  return h;
}

// Compares decoded ink with the ink the conversion asks for, region by region.
void ExpectInkMatches(const test::ModeCase& m, Ink ink, test::Image (*make)(int, int), double tolerance) {
  const test::Job job = test::MakeJob(m, ink);
  const int dpi = enc::ResolutionForPreset(enc::QualityPreset(m.mediaType, m.qualityCode));
  const test::Image page = Page(make, 1.6, 1.8, dpi);
  const Printed printed = Print(job.record, page);
  const decode::Stream s = decode::DecodeStream(printed.stream.data(), printed.stream.size());
  ASSERT_TRUE(s.ok) << m.name << ": " << s.error << " at " << s.errorOffset;
  ASSERT_EQ(s.documents, 1);
  ASSERT_EQ(s.pages.size(), 1u);
  const decode::Page& p = s.pages[0];

  const RasterSettings rs = ReadRasterSettings(reinterpret_cast<const uint8_t*>(&job.record), sizeof job.record);
  const int family = BandFamily(rs);
  const uint16_t code = BandCode(rs, family);
  ColourConverter cv;
  cv.Init(SelectTables(rs, code, family, {}), rs, code, family);
  const int left = printed.margins.left, top = printed.margins.top;
  const int width = page.width - left - printed.margins.right;
  const int height = page.height - top - printed.margins.bottom;
  ASSERT_EQ(p.DotsAcross() / p.replication, (width + 7) / 8 * 8) << m.name;
  constexpr int kRegions = 3;
  for (int ry = 0; ry < kRegions; ++ry)
    for (int rx = 0; rx < kRegions; ++rx) {
      const int x0 = width * rx / kRegions, x1 = width * (rx + 1) / kRegions;
      const int y0 = height * ry / kRegions, y1 = height * (ry + 1) / kRegions;
      double want[4] = {};
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
          const uint8_t* px = page.Row(top + y) + 3 * (left + x);
          const Inks v = family == 1 ? cv.DitherValues(px[0], px[1], px[2]) : cv.InkValues(px[0], px[1], px[2]);
          want[0] += v.c, want[1] += v.m, want[2] += v.y, want[3] += v.k;
        }
      for (int c = 0; c < 4; ++c) {
        const double expected = want[c] / 1023.0 / (double(x1 - x0) * (y1 - y0));
        EXPECT_NEAR(p.MeanInk(c, x0, y0, x1, y1), expected, tolerance)
            << m.name << " region " << rx << "," << ry << " channel " << c;
      }
    }
}

class PageInk : public ::testing::TestWithParam<test::ModeCase> {};

TEST_P(PageInk, PhotoRampsAndTextComeOutAsConverted) {
  const test::ModeCase& m = GetParam();
  ExpectInkMatches(m, Ink::Colour, test::PhotoLike, 0.04);
  ExpectInkMatches(m, Ink::ColourMultibit, test::Ramps, 0.04);
  ExpectInkMatches(m, Ink::Mono, test::TextLike, 0.03);
}

// One mode per pass class, plus the flush with shortened feeds and the
// thick-media weave.
INSTANTIATE_TEST_SUITE_P(PrintModes, PageInk,
                         ::testing::Values(test::kModeCases[0], test::kModeCases[1], test::kModeCases[2],
                                           test::kModeCases[3], test::kModeCases[4], test::kModeCases[5],
                                           test::kModeCases[13], test::kModeCases[16]),
                         [](const auto& info) { return std::string(info.param.name); });

// With the whole-page enhancement on, the encoder takes the page as one band.
TEST(PageStream, EnhancedPageIsOneBandAndStillDecodes) {
  test::Job job = test::MakeJob(test::kModeCases[1], Ink::Colour);
  job.record.cmFlag = 1;
  job.record.colorAdjust = 1;
  job.record.colorAdjustments[1] = 1;
  const test::Image page = Page(test::PhotoLike, 1.2, 1.0, 300);
  const Printed printed = Print(job.record, page);
  const decode::Stream s = decode::DecodeStream(printed.stream.data(), printed.stream.size());
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_EQ(s.pages.size(), 1u);
  EXPECT_GT(s.pages[0].MeanInk(0, 0, 0, 200, 200), 0.05);
}

// Whole-job streams are pinned: an optimisation must not change a byte.
TEST(PageStream, GoldenChecksumsPerPrintMode) {
  static const uint64_t kGolden[17] = {
      0x6fd13f803d539a5cull,  // Draft150
      0x8cb5fb481c72fdc3ull,  // Normal300
      0x3972bf323fb305a8ull,  // Fine600
      0x066acb02bb95937aull,  // Best1200
      0x9017d3775d8b4182ull,  // Photo2400
      0x1f619f84dd6c947cull,  // Photo6000
      0x794342fe3c1927dbull,  // Borderless300
      0x51f97e7dcbe54d24ull,  // Borderless600
      0x1e7d34a88187e867ull,  // Borderless1200
      0xe559db9d6b283214ull,  // Borderless2400
      0xae481e4d5279074full,  // Borderless6000
      0x49567a273c447d37ull,  // Envelope150
      0x88b2af9021d15786ull,  // Envelope300
      0xdf5520534669c277ull,  // Envelope600
      0x6cd3b8d33af5a87cull,  // Envelope1200
      0x75ea4062f22da4caull,  // Thick600
      0xe9af6d2320433860ull,  // Thick1200
  };
  std::string table;
  bool mismatch = false;
  for (const test::ModeCase& m : test::kModeCases) {
    const test::Job job = test::MakeJob(m, m.row % 3 == 0 ? Ink::Colour : m.row % 3 == 1 ? Ink::ColourMultibit : Ink::Mono,
                                        uint8_t(1 + m.row % 3));
    const int dpi = enc::ResolutionForPreset(enc::QualityPreset(m.mediaType, m.qualityCode));
    const Printed printed = Print(job.record, Page(test::SmoothFields, 0.8, 1.6, dpi));
    const uint64_t sum = Fnv1a(printed.stream);
    char line[64];
    std::snprintf(line, sizeof line, "      0x%016llxull,  // %s\n", static_cast<unsigned long long>(sum), m.name);
    table += line;
    mismatch |= sum != kGolden[m.row];
  }
  EXPECT_FALSE(mismatch) << "streams changed; new checksums:\n" << table;
}

}  // namespace
}  // namespace qvx::raster
