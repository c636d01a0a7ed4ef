// qvxprint: prints a document through the QVX raster encoder into a printer
// command stream, playing the part of the print path's rendering filter.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <optional>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "band_renderer.h"
#include "document.h"
#include "encoder_host.h"
#include "job_settings.h"
#include "options.h"
#include "output_file.h"
#include "preview.h"

#ifndef QVXPRINT_DEFAULT_PPD
#define QVXPRINT_DEFAULT_PPD ""
#endif
#ifndef QVXPRINT_VERSION
#define QVXPRINT_VERSION "1.0"
#endif

namespace qvx::print {
namespace {

volatile sig_atomic_t g_interruptSignal = 0;

void OnInterrupt(int sig) {
  if (g_interruptSignal) {
    // A second signal: the user does not want to wait for the band in hand.
    RemovePartialOutputNow();
    _exit(kExitInterrupted);
  }
  g_interruptSignal = sig;
}

void InstallInterruptHandlers() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

struct Interrupted {};

void CheckInterrupted() {
  if (g_interruptSignal) throw Interrupted{};
}

// One line on stderr, rewritten in place; only on a terminal unless asked.
class Progress {
 public:
  explicit Progress(bool on) : on_(on) {}
  ~Progress() { Done(); }
  void Show(int page, int pages, int band, int bands) {
    if (!on_) return;
    std::fprintf(stderr, "\rqvxprint: page %d/%d, band %d/%d   ", page, pages, band, bands);
    std::fflush(stderr);
    shown_ = true;
  }
  void Done() {
    if (shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
  }

 private:
  bool on_;
  bool shown_ = false;
};

// Wall and CPU seconds spent in one part of the job.
class Stopwatch {
 public:
  struct Scope {
    explicit Scope(Stopwatch& w) : w_(w), wall_(Now(CLOCK_MONOTONIC)), cpu_(Now(CLOCK_PROCESS_CPUTIME_ID)) {}
    ~Scope() {
      w_.wall += Now(CLOCK_MONOTONIC) - wall_;
      w_.cpu += Now(CLOCK_PROCESS_CPUTIME_ID) - cpu_;
    }
    Stopwatch& w_;
    double wall_, cpu_;
  };
  static double Now(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
  }
  double wall = 0, cpu = 0;
};

int Fail(int code, const std::string& message) {
  std::cerr << "qvxprint: " << message << "\n";
  return code;
}

int Run(const Options& o) {
  const std::string ppd = o.ppd.empty() ? QVXPRINT_DEFAULT_PPD : o.ppd;
  DescriptionImagePtr image = LoadDescription(ppd);
  const JobSettings job = BuildJobSettings(image.get(), o);
  std::unique_ptr<Document> doc = OpenDocument(o.input);
  const int pages = doc->PageCount();

  EncoderLibrary encoder(o.encoder.empty() ? DefaultEncoderPath() : o.encoder);
  OutputFile out(o.output);
  const bool showProgress = o.progress.value_or(isatty(STDERR_FILENO) == 1);
  Progress progress(showProgress);
  if (showProgress) std::fprintf(stderr, "qvxprint: %d page(s), %s\n", pages, job.summary.c_str());
  Stopwatch total, rendering, encoding;
  std::optional<Stopwatch::Scope> totalScope(std::in_place, total);
  {
    EncoderJob encoderJob(encoder, &OutputFile::WriteProc, &out);
    const int width = TenthsMmToPixels(job.paperWidth, job.dpi);
    const int height = TenthsMmToPixels(job.paperHeight, job.dpi);
    BandRenderer renderer(width, BandRowsFor(width, height));
    const int bands = (height + renderer.maxRows() - 1) / renderer.maxRows();

    QvEncPageInfo info{};
    info.pageWidth = width;
    info.pageHeight = height;
    info.rowBits = width * 24;
    info.documentId = 1;
    info.planeCount = 1;
    info.rasterFormat = 2;
    std::strcpy(info.colorSpace, "DeviceRGB");
    for (int page = 0; page < pages; ++page) {
      const PageLayout layout = LayoutPage(doc->PageSize(page), width, height, job.turn);
      info.pageId = page + 1;
      for (int band = 0, row = 0; row < height; ++band, row += renderer.maxRows()) {
        CheckInterrupted();
        progress.Show(page + 1, pages, band + 1, bands);
        const int rows = std::min(renderer.maxRows(), height - row);
        const uint8_t* rgb = nullptr;
        {
          Stopwatch::Scope scope(rendering);
          rgb = renderer.Render(*doc, page, layout, row, rows);
        }
        info.bandRows = rows;
        try {
          Stopwatch::Scope scope(encoding);
          encoderJob.PageData(&job.record, sizeof job.record, info, rgb);
        } catch (const EncoderError& e) {
          if (e.status() == OutputFile::kWriteFailedStatus) throw WriteError(out.failure());
          throw;
        }
      }
    }
    CheckInterrupted();
    try {
      Stopwatch::Scope scope(encoding);
      encoderJob.Finish();
    } catch (const EncoderError& e) {
      if (e.status() == OutputFile::kWriteFailedStatus) throw WriteError(out.failure());
      throw;
    }
  }
  progress.Done();
  CheckInterrupted();
  out.Commit();
  totalScope.reset();
  if (o.timing) {
    std::fprintf(stderr,
                 "qvxprint timing: pages=%d dpi=%d bytes=%llu wall=%.3f cpu=%.3f render_wall=%.3f render_cpu=%.3f "
                 "encoder_wall=%.3f encoder_cpu=%.3f\n",
                 pages, job.dpi, static_cast<unsigned long long>(out.bytesWritten()), total.wall, total.cpu,
                 rendering.wall, rendering.cpu, encoding.wall, encoding.cpu);
  }

  // The stream is complete and stays; only the previews are given up when
  // the user interrupts their decoding.
  if (!o.previewDir.empty() &&
      !WritePreviews(o.output, o.previewDir, o.decoder, [] { return g_interruptSignal != 0; })) {
    throw Interrupted{};
  }
  return kExitOk;
}

}  // namespace
}  // namespace qvx::print

int main(int argc, char** argv) {
  using namespace qvx::print;
  Options options;
  try {
    options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const UsageError& e) {
    return Fail(kExitUsage, std::string(e.what()) + "\n" + "usage: qvxprint [options] INPUT -o OUT.prn (see --help)");
  }
  if (options.help) {
    std::cout << UsageText();
    return kExitOk;
  }
  if (options.version) {
    std::cout << "qvxprint " << QVXPRINT_VERSION << "\n";
    return kExitOk;
  }
  InstallInterruptHandlers();
  try {
    return Run(options);
  } catch (const Interrupted&) {
    return Fail(kExitInterrupted, "interrupted; no partial output or preview left");
  } catch (const UsageError& e) {
    return Fail(kExitUsage, e.what());
  } catch (const InputError& e) {
    return Fail(e.kind() == InputError::Kind::Unsupported ? kExitUnsupported : kExitUnreadable, e.what());
  } catch (const DescriptionError& e) {
    return Fail(kExitDescription, e.what());
  } catch (const WriteError& e) {
    return Fail(kExitWrite, e.what());
  } catch (const PreviewError& e) {
    return Fail(e.badStream() ? kExitEncoder : kExitWrite, e.what());
  } catch (const EncoderError& e) {
    return Fail(kExitEncoder, e.what());
  } catch (const std::bad_alloc&) {
    return Fail(kExitFailure, "out of memory");
  } catch (const std::exception& e) {
    return Fail(kExitFailure, e.what());
  }
}
