// qvxprint as a user runs it: exit codes and messages, whole jobs through the
// encoder library whose previews must show the document, interruption and
// failed writes that leave no partial output, and bounded memory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

#include "band_renderer.h"
#include "document.h"
#include "print_fixtures.h"
#include "test_paths.h"

namespace qvx::print {
namespace {

namespace fs = std::filesystem;
using test::Raster;

struct RunResult {
  int exitCode = -1;
  std::string err;
  long maxRssKb = 0;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Runs qvxprint with `args`; `inChild` runs in the child before exec, and
// `whileRunning` in the parent while it runs.
RunResult RunTool(const std::vector<std::string>& args, const std::function<void()>& inChild = {},
                  const std::function<void(pid_t)>& whileRunning = {}) {
  static int serial = 0;
  const fs::path errPath = qvx::test::BinaryPath("tests/print/scratch/stderr-" + std::to_string(getpid()) + "-" +
                                                 std::to_string(++serial));
  fs::create_directories(errPath.parent_path());
  const std::string tool = qvx::test::BinaryPath("bin/qvxprint").string();
  std::vector<std::string> argvStore = {tool};
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, STDERR_FILENO);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    if (inChild) inChild();
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  if (whileRunning) whileRunning(pid);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.err = ReadAll(errPath);
  r.maxRssKb = usage.ru_maxrss;
  fs::remove(errPath);
  return r;
}

std::vector<fs::path> FilesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().filename());
  return files;
}

TEST(PrintCommand, FailuresHaveTheirExitCodeAMessageAndNoOutput) {
  const fs::path dir = test::ScratchDir("cli");
  test::WriteBlocksPdf(dir / "doc.pdf", {test::QuadrantBlocks()});
  std::ofstream(dir / "notes.txt") << "not a document\n";
  const std::string doc = (dir / "doc.pdf").string();
  const std::string out = (dir / "out.prn").string();
  const struct {
    std::vector<std::string> args;
    int exitCode;
    const char* message;
  } cases[] = {
      {{}, 2, "no input document"},
      {{doc, "-o", out, "--bogus"}, 2, "unknown option --bogus"},
      {{(dir / "absent.pdf").string(), "-o", out}, 3, "absent.pdf: cannot open"},
      {{(dir / "notes.txt").string(), "-o", out}, 4, "unsupported input"},
      {{doc, "-o", out, "--media", "Velvet"}, 2, "unknown media type 'Velvet'; the description offers: Plain_Paper"},
      {{doc, "-o", out, "--paper", "A2"}, 2, "unknown paper 'A2'"},
      {{doc, "-o", out, "--media", "Glossy_Paper", "--quality", "draft"}, 2, "not offered for this media"},
      {{doc, "-o", out, "--quality", "draft", "--borderless"}, 2, "conflicts with borderless printing"},
      {{doc, "-o", out, "--paper", "Legal", "--borderless"}, 2, "no borderless size"},
      {{doc, "-o", out, "--custom", "50x100"}, 2, "custom size must be"},
      {{doc, "-o", out, "--ppd", (dir / "absent.ppd").string()}, 7, "cannot read the printer description"},
      {{doc, "-o", out, "--encoder", (dir / "absent.so").string()}, 6, "cannot load the encoder library"},
      {{doc, "-o", (dir / "no/such/folder/out.prn").string()}, 5, "cannot create the output"},
  };
  for (const auto& c : cases) {
    const RunResult r = RunTool(c.args);
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    EXPECT_EQ(r.exitCode, c.exitCode) << line << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << line << "\n" << r.err;
    EXPECT_FALSE(fs::exists(out)) << line;
  }
  // Nothing but the inputs is left behind, not even a temporary file.
  EXPECT_EQ(FilesIn(dir).size(), 2u);
}

// The printable part of the page as the encoder cuts it: 70/600 inch on every
// side for ordinary papers.
Raster Printable(const Raster& page, int dpi) {
  const int m = 70 * dpi / 600;
  Raster out;
  out.width = page.width - 2 * m;
  out.height = page.height - 2 * m;
  out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
  for (int y = 0; y < out.height; ++y) {
    std::memcpy(out.rgb.data() + static_cast<size_t>(y) * out.width * 3, page.Pixel(m, y + m),
                static_cast<size_t>(out.width) * 3);
  }
  return out;
}

// The page as qvxprint draws it at `dpi` onto A5, whose size the example
// description gives as 420 x 595 points.
constexpr int kA5WidthTenths = 1482, kA5HeightTenths = 2099;

Raster ExpectedPage(const fs::path& input, int page, int dpi) {
  std::unique_ptr<Document> doc = OpenDocument(input);
  Raster r;
  r.width = TenthsMmToPixels(kA5WidthTenths, dpi);
  r.height = TenthsMmToPixels(kA5HeightTenths, dpi);
  r.rgb.resize(static_cast<size_t>(r.width) * r.height * 3);
  const PageLayout layout = LayoutPage(doc->PageSize(page), r.width, r.height, Turn::None);
  BandRenderer renderer(r.width, 256);
  for (int row = 0; row < r.height; row += 256) {
    const int rows = std::min(256, r.height - row);
    std::memcpy(r.rgb.data() + static_cast<size_t>(row) * r.width * 3, renderer.Render(*doc, page, layout, row, rows),
                static_cast<size_t>(rows) * r.width * 3);
  }
  return Printable(r, dpi);
}

int CountPages(const std::string& summaryJson) {
  int n = 0;
  for (size_t at = 0; (at = summaryJson.find("{\"page\":", at)) != std::string::npos; ++at) ++n;
  return n;
}

// Prints the document and checks every page's preview against the page as
// drawn: mean ink per region of a 4 x 4 grid. Colour conversion and
// halftoning change the tone (pure blue previews about 0.15 lighter than its
// screen luminance), not where the ink goes, so a generous tolerance still
// catches a page that is shifted, turned, mirrored, cut or blank.
void PrintAndCompare(const fs::path& input, int pages, const std::string& name) {
  const fs::path dir = test::ScratchDir("job-" + name);
  // Draft quality on A5 keeps the job small (150 dpi) for the sanitizer build.
  const RunResult r = RunTool({input.string(), "-o", (dir / "out.prn").string(), "--quality", "draft", "--paper",
                               "A5", "--preview", (dir / "preview").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GT(fs::file_size(dir / "out.prn"), 10000u);
  EXPECT_EQ(CountPages(ReadAll(dir / "preview/summary.json")), pages);
  for (int page = 0; page < pages; ++page) {
    Raster preview = test::ReadPng(dir / ("preview/page-" + std::to_string(page + 1) + ".png"));
    const Raster expected = ExpectedPage(input, page, 150);
    // The printer stops feeding after the last inked row, so the preview may
    // end early: the rest of the printable area is blank paper.
    const int fullHeight = static_cast<int>(std::lround(double(expected.height) * preview.width / expected.width));
    ASSERT_LE(preview.height, fullHeight + 2) << name << " page " << page + 1;
    if (preview.height < fullHeight) {
      preview.rgb.resize(static_cast<size_t>(preview.width) * fullHeight * 3, 0xFF);
      preview.height = fullHeight;
    }
    const std::vector<double> got = test::MeanInkGrid(preview, 4, 4);
    const std::vector<double> want = test::MeanInkGrid(expected, 4, 4);
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_NEAR(got[i], want[i], 0.2) << name << " page " << page + 1 << " region " << i % 4 << "," << i / 4;
    }
  }
}

TEST(PrintJob, PdfXpsAndPicturePrintAsDrawn) {
  const fs::path dir = test::ScratchDir("docs");
  // Two PDF pages: the quadrants, then grey steps down the page.
  std::vector<test::Block> steps;
  for (int i = 0; i < 4; ++i) steps.push_back({0.1, i * 0.25, 0.9, i * 0.25 + 0.2, 1 - i / 3.0, 1 - i / 3.0, 1 - i / 3.0});
  test::WriteBlocksPdf(dir / "doc.pdf", {test::QuadrantBlocks(), steps});
  test::WriteBlocksPng(dir / "pic.png", {{0, 0, 0.5, 0.3, 0.1, 0.1, 0.1}, {0.4, 0.6, 1, 1, 0.9, 0.2, 0.1}}, 400, 566);
  PrintAndCompare(dir / "doc.pdf", 2, "pdf");
  PrintAndCompare(qvx::test::BinaryPath("tests/print/fixture.xps"), 2, "xps");
  PrintAndCompare(dir / "pic.png", 1, "png");
}

// The Basic-page settings reach the encoder: copies multiply the pages that
// reach the printer.
TEST(PrintJob, CopiesReachThePrinter) {
  const fs::path dir = test::ScratchDir("copies");
  test::WriteBlocksPdf(dir / "doc.pdf", {test::QuadrantBlocks(), test::QuadrantBlocks()});
  const RunResult r = RunTool({(dir / "doc.pdf").string(), "-o", (dir / "out.prn").string(), "--quality", "draft",
                               "--paper", "A6", "--copies", "3", "--collate", "--preview", (dir / "preview").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(CountPages(ReadAll(dir / "preview/summary.json")), 6);
}

fs::path ManyPagePdf(int pages) {
  const fs::path path = qvx::test::BinaryPath("tests/print/scratch/many.pdf");
  if (!fs::exists(path)) {
    std::vector<std::vector<test::Block>> doc(pages, test::QuadrantBlocks());
    test::WriteBlocksPdf(path, doc, 595.3, 841.9);
  }
  return path;
}

// An interrupted job ends with the interruption's exit code and leaves no
// output, finished or partial.
TEST(PrintJob, InterruptionRemovesThePartialOutput) {
  const fs::path input = ManyPagePdf(12);
  const fs::path dir = test::ScratchDir("interrupt");
  bool sawPartial = false;
  const RunResult r = RunTool({input.string(), "-o", (dir / "out.prn").string(), "--quality", "best"}, {},
                              [&](pid_t pid) {
                                // Wait until the job is under way (its temporary file exists).
                                for (int i = 0; i < 600 && !sawPartial; ++i) {
                                  sawPartial = !FilesIn(dir).empty();
                                  if (!sawPartial) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                                }
                                kill(pid, SIGTERM);
                              });
  EXPECT_TRUE(sawPartial);
  EXPECT_EQ(r.exitCode, 130) << r.err;
  EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
  EXPECT_TRUE(FilesIn(dir).empty());
}

// A write that fails (here: the file size limit) is reported as a failed write
// and the partial stream is removed, never left looking like a finished job.
TEST(PrintJob, FailedWriteIsReportedAndCleanedUp) {
  const fs::path dir = test::ScratchDir("writefail");
  test::WriteBlocksPdf(dir / "doc.pdf", {test::QuadrantBlocks()});
  const RunResult r = RunTool({(dir / "doc.pdf").string(), "-o", (dir / "out.prn").string(), "--quality", "draft"},
                              [] {
                                signal(SIGXFSZ, SIG_IGN);
                                rlimit limit{64 * 1024, 64 * 1024};
                                setrlimit(RLIMIT_FSIZE, &limit);
                              });
  EXPECT_EQ(r.exitCode, 5) << r.err;
  EXPECT_NE(r.err.find("write failed"), std::string::npos) << r.err;
  EXPECT_EQ(FilesIn(dir), std::vector<fs::path>{"doc.pdf"});
}

// Bands, not pages: a dozen A4 pages at 600 dpi stay far below one page's
// bitmap (4960 x 7016 x 4 bytes = 139 MB) in peak resident size.
TEST(PrintJob, MemoryStaysBoundedOverManyPages) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the sanitizer's shadow memory and quarantine make resident size meaningless";
#endif
  const fs::path input = ManyPagePdf(12);
  const fs::path dir = test::ScratchDir("memory");
  const RunResult r = RunTool({input.string(), "-o", (dir / "out.prn").string(), "--quality", "high"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::cout << "peak resident size " << r.maxRssKb / 1024 << " MB\n";
  EXPECT_LT(r.maxRssKb, 120 * 1024) << "peak resident size " << r.maxRssKb / 1024 << " MB";
}

}  // namespace
}  // namespace qvx::print
