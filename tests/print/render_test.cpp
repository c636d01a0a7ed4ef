// Documents render into bands of packed RGB that land where the page says,
// whatever the format and the band height.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include <zlib.h>

#include "band_renderer.h"
#include "document.h"
#include "print_fixtures.h"
#include "test_paths.h"

namespace qvx::print {
namespace {

using test::Block;
using test::Raster;

constexpr int kA4W = 2100, kA4H = 2970;  // 0.1 mm

Raster RenderPage(Document& doc, int page, int dpi, Turn turn, int bandRows) {
  Raster raster;
  raster.width = TenthsMmToPixels(kA4W, dpi);
  raster.height = TenthsMmToPixels(kA4H, dpi);
  raster.rgb.resize(static_cast<size_t>(raster.width) * raster.height * 3);
  const PageLayout layout = LayoutPage(doc.PageSize(page), raster.width, raster.height, turn);
  BandRenderer renderer(raster.width, bandRows);
  for (int row = 0; row < raster.height; row += bandRows) {
    const int rows = std::min(bandRows, raster.height - row);
    const uint8_t* rgb = renderer.Render(doc, page, layout, row, rows);
    std::memcpy(raster.rgb.data() + static_cast<size_t>(row) * raster.width * 3, rgb,
                static_cast<size_t>(rows) * raster.width * 3);
  }
  return raster;
}

void ExpectColour(const Raster& r, double x0, double y0, double x1, double y1, double er, double eg, double eb,
                  const std::string& what) {
  const test::Rgb c = test::MeanColour(r, x0, y0, x1, y1);
  EXPECT_NEAR(c.r, er, 0.06) << what;
  EXPECT_NEAR(c.g, eg, 0.06) << what;
  EXPECT_NEAR(c.b, eb, 0.06) << what;
}

// The A5 quadrant page fitted onto A4: A5 and A4 share their proportions, so
// the quadrants fill the paper. Regions are sampled away from the edges.
void ExpectQuadrants(const Raster& r, const std::string& what) {
  ExpectColour(r, 0.1, 0.1, 0.4, 0.4, 1, 0, 0, what + " top left");
  ExpectColour(r, 0.6, 0.1, 0.9, 0.4, 0, 1, 0, what + " top right");
  ExpectColour(r, 0.1, 0.6, 0.4, 0.9, 0, 0, 1, what + " bottom left");
  ExpectColour(r, 0.6, 0.6, 0.9, 0.9, 0, 0, 0, what + " bottom right");
}

struct FormatCase {
  const char* name;
  std::function<void(const std::filesystem::path&)> write;
  const char* file;
};

TEST(Render, EveryFormatPutsThePageOnThePaper) {
  const auto dir = test::ScratchDir("formats");
  const std::vector<FormatCase> cases = {
      {"pdf", [](const auto& p) { test::WriteBlocksPdf(p, {test::QuadrantBlocks()}); }, "q.pdf"},
      {"png", [](const auto& p) { test::WriteBlocksPng(p, test::QuadrantBlocks(), 296, 420); }, "q.png"},
      {"jpeg", [](const auto& p) { test::WriteBlocksJpeg(p, test::QuadrantBlocks(), 296, 420); }, "q.jpg"},
      {"xps", [](const auto&) {}, nullptr},
  };
  for (const FormatCase& c : cases) {
    const std::filesystem::path path =
        c.file ? dir / c.file : qvx::test::BinaryPath("tests/print/fixture.xps");
    c.write(path);
    std::unique_ptr<Document> doc = OpenDocument(path);
    ExpectQuadrants(RenderPage(*doc, 0, 75, Turn::None, 64), c.name);
  }
}

TEST(Render, XpsDocumentHasAllItsPagesAtTheirOwnSize) {
  std::unique_ptr<Document> doc = OpenDocument(qvx::test::BinaryPath("tests/print/fixture.xps"));
  ASSERT_EQ(doc->PageCount(), 2);
  // A5 portrait, then A5 landscape, in points.
  EXPECT_NEAR(doc->PageSize(0).width, 148 / 25.4 * 72, 1.0);
  EXPECT_NEAR(doc->PageSize(0).height, 210 / 25.4 * 72, 1.0);
  EXPECT_NEAR(doc->PageSize(1).width, 210 / 25.4 * 72, 1.0);
}

// A band boundary must not shift, repeat or blur anything: the page comes out
// byte for byte the same with odd band heights as in one piece.
TEST(Render, BandHeightDoesNotChangeThePage) {
  const auto dir = test::ScratchDir("bands");
  // Diagonal-ish content: thin blocks that straddle many band boundaries.
  std::vector<Block> blocks;
  for (int i = 0; i < 20; ++i) {
    blocks.push_back({i * 0.045, i * 0.047, i * 0.045 + 0.04, i * 0.047 + 0.013, (i % 3) / 2.0, 0.3, 1.0 - (i % 2)});
  }
  test::WriteBlocksPdf(dir / "d.pdf", {blocks});
  std::unique_ptr<Document> doc = OpenDocument(dir / "d.pdf");
  const Raster whole = RenderPage(*doc, 0, 100, Turn::None, 1200);
  for (int bandRows : {1, 7, 96, 113}) {
    const Raster banded = RenderPage(*doc, 0, 100, Turn::None, bandRows);
    EXPECT_TRUE(banded.rgb == whole.rgb) << "bands of " << bandRows << " rows";
  }
}

// A landscape page is turned onto portrait paper: a quarter turn puts the
// page's top on the right (its left half on the paper's top half), three
// quarters put its left half at the bottom.
TEST(Render, LandscapePageIsTurnedOntoThePaper) {
  std::unique_ptr<Document> doc = OpenDocument(qvx::test::BinaryPath("tests/print/fixture.xps"));
  const Raster quarter = RenderPage(*doc, 1, 60, Turn::Quarter, 50);
  ExpectColour(quarter, 0.1, 0.1, 0.9, 0.4, 0, 1, 1, "quarter turn, top half");
  ExpectColour(quarter, 0.1, 0.6, 0.9, 0.9, 1, 1, 1, "quarter turn, bottom half");
  const Raster threeQuarters = RenderPage(*doc, 1, 60, Turn::ThreeQuarters, 50);
  ExpectColour(threeQuarters, 0.1, 0.6, 0.9, 0.9, 0, 1, 1, "three quarters, bottom half");
  ExpectColour(threeQuarters, 0.1, 0.1, 0.9, 0.4, 1, 1, 1, "three quarters, top half");
}

// A page of other proportions is scaled to fit and centred, leaving white
// paper around it rather than cutting it off.
TEST(Render, PageOfOtherProportionsIsFittedAndCentred) {
  const auto dir = test::ScratchDir("fit");
  test::WriteBlocksPng(dir / "wide.png", {{0, 0, 1, 1, 0, 0, 0}}, 400, 100);  // all black, 4:1
  std::unique_ptr<Document> doc = OpenDocument(dir / "wide.png");
  const Raster r = RenderPage(*doc, 0, 50, Turn::None, 40);
  // Full width; height 1/4 of the width = 0.177 of A4's height, centred.
  ExpectColour(r, 0.02, 0.45, 0.98, 0.55, 0, 0, 0, "band across the middle");
  ExpectColour(r, 0.0, 0.0, 1.0, 0.38, 1, 1, 1, "paper above");
  ExpectColour(r, 0.0, 0.62, 1.0, 1.0, 1, 1, 1, "paper below");
}

TEST(Render, TransparentPicturePrintsOnWhitePaper) {
  const auto dir = test::ScratchDir("alpha");
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 50, 50);
  cairo_t* cr = cairo_create(s);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.5);  // half-transparent black
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_write_to_png(s, (dir / "a.png").c_str());
  cairo_surface_destroy(s);
  std::unique_ptr<Document> doc = OpenDocument(dir / "a.png");
  ExpectColour(RenderPage(*doc, 0, 40, Turn::None, 64), 0.2, 0.2, 0.8, 0.8, 0.5, 0.5, 0.5, "50 % black");
}

// Inputs that are not what they claim, or not printable, fail with the kind
// of error that picks the exit code, never a crash.
TEST(Render, BadInputsAreRefusedWithTheirKind) {
  const auto dir = test::ScratchDir("bad");
  test::WriteBlocksPdf(dir / "good.pdf", {test::QuadrantBlocks()});
  auto write = [&](const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
    return (dir / name).string();
  };
  std::string pdf;
  {
    std::ifstream in(dir / "good.pdf", std::ios::binary);
    pdf.assign(std::istreambuf_iterator<char>(in), {});
  }
  // A sound PNG header claiming 100000 x 100000 pixels: refused before any
  // pixel memory is taken.
  std::string ihdr("IHDR\0\x01\x86\xa0\0\x01\x86\xa0\x08\x02\0\0\0", 17);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(ihdr.data()), static_cast<uInt>(ihdr.size()));
  std::string hugePng = std::string("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12) + ihdr;
  const uLong idatCrc = crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4);
  for (int shift : {24, 16, 8, 0}) hugePng += static_cast<char>((crc >> shift) & 0xFF);
  hugePng += std::string("\0\0\0\0IDAT", 8);
  for (int shift : {24, 16, 8, 0}) hugePng += static_cast<char>((idatCrc >> shift) & 0xFF);
  const struct {
    std::string path;
    InputError::Kind kind;
  } cases[] = {
      {(dir / "missing.pdf").string(), InputError::Kind::Unreadable},
      {write("text.txt", "hello, printer\n"), InputError::Kind::Unsupported},
      {write("empty.pdf", ""), InputError::Kind::Unsupported},
      {write("cut.pdf", pdf.substr(0, 40)), InputError::Kind::Unreadable},
      {write("notxps.zip", std::string("PK\3\4", 4) + std::string(60, '\0')), InputError::Kind::Unsupported},
      {write("cut.png", std::string("\x89PNG\r\n\x1a\n", 8) + "garbage"), InputError::Kind::Unreadable},
      {write("cut.jpg", "\xFF\xD8\xFF\xE0 not really"), InputError::Kind::Unreadable},
      {write("huge.png", hugePng), InputError::Kind::Unsupported},
  };
  for (const auto& c : cases) {
    try {
      std::unique_ptr<Document> doc = OpenDocument(c.path);
      // Some damage only shows when the page is drawn.
      RenderPage(*doc, 0, 20, Turn::None, 64);
      ADD_FAILURE() << c.path << " was accepted";
    } catch (const InputError& e) {
      EXPECT_EQ(e.kind(), c.kind) << c.path << ": " << e.what();
      EXPECT_NE(std::string(e.what()).find(std::filesystem::path(c.path).filename().string()), std::string::npos)
          << "the message names the file: " << e.what();
    }
  }
}

}  // namespace
}  // namespace qvx::print
