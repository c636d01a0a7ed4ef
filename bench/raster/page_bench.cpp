// Whole-page throughput: A4 pages (photo-like and text-like) through
// QvEncInit, QvEncPageData and QvEncExit into a callback that discards, once
// per print mode, each in its own process so that peak memory is per mode.
//
// usage: raster_page_bench [--runs N] [--modes a,b,...] [--pages photo,text] [--dump FILE]
// Prints one line per page and mode: source pixels, CPU seconds (best of N),
// million source pixels per second, A4-at-600-dpi equivalent, peak RSS, bytes out.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qvenc.h"
#include "raster_job.h"

using namespace qvx;
using namespace qvx::raster;

namespace {

FILE* dump = nullptr;  // --dump: keep the stream (for qvxdecode) instead of discarding it

int32_t QVENC_CALL Discard(const void* bytes, uint32_t count, void* context) {
  *static_cast<uint64_t*>(context) += count;
  if (dump) std::fwrite(bytes, 1, count, dump);
  return 0;
}

struct Result {
  double seconds;
  uint64_t bytes;
};

Result PrintPage(const SettingsRecord& record, const test::Image& page) {
  uint64_t bytes = 0;
  // CPU time of this process: the build machine is shared, wall time is not ours.
  timespec t0{}, t1{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
  if (test::PrintImage(record, page, 128, Discard, &bytes) != 0) std::exit(4);
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t1);
  return {double(t1.tv_sec - t0.tv_sec) + double(t1.tv_nsec - t0.tv_nsec) * 1e-9, bytes};
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 3;
  std::string modes, pages = "photo,text";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
    if (!std::strcmp(argv[i], "--modes")) modes = argv[i + 1];
    if (!std::strcmp(argv[i], "--pages")) pages = argv[i + 1];
    if (!std::strcmp(argv[i], "--dump")) dump = std::fopen(argv[i + 1], "wb");
  }
  std::printf("%-8s %-16s %-6s %12s %9s %9s %12s %9s %10s\n", "page", "mode", "code", "source px",
              "seconds", "Mpx/s", "A4@600 Mpx/s", "peak MB", "bytes out");
  for (const char* kind : {"photo", "text"}) {
    if (pages.find(kind) == std::string::npos) continue;
    for (const test::ModeCase& m : test::kModeCases) {
      if (!modes.empty() && ("," + modes + ",").find("," + std::string(m.name) + ",") == std::string::npos)
        continue;
      // Multibit colour where the mode has it, as the driver's defaults ask.
      const test::Job job = test::MakeJob(m, test::Ink::ColourMultibit);
      const int dpi = enc::ResolutionForPreset(enc::QualityPreset(m.mediaType, m.qualityCode));
      int fds[2];
      if (pipe(fds) != 0) return 2;
      const pid_t child = fork();
      if (child == 0) {
        close(fds[0]);
        const int w = 4960 * dpi / 600, hgt = 7016 * dpi / 600;
        const test::Image page = std::strcmp(kind, "photo") == 0 ? test::PhotoLike(w, hgt) : test::TextLike(w, hgt);
        Result best{1e30, 0};
        for (int r = 0; r < runs; ++r) {
          const Result res = PrintPage(job.record, page);
          if (res.seconds < best.seconds) best = res;
        }
        char line[256];
        const double px = double(w) * hgt;
        std::snprintf(line, sizeof line, "%-8s %-16s 0x%04x %12.0f %9.3f %9.1f %12.1f", kind, m.name,
                      BandCode(ReadRasterSettings(reinterpret_cast<const uint8_t*>(&job.record), sizeof job.record),
                               BandFamily(ReadRasterSettings(reinterpret_cast<const uint8_t*>(&job.record),
                                                             sizeof job.record))),
                      px, best.seconds, px / best.seconds / 1e6, 4960.0 * 7016 / best.seconds / 1e6);
        std::string out(line);
        out += ' ';
        out += std::to_string(best.bytes);
        if (dump) std::fflush(dump);
        if (write(fds[1], out.data(), out.size()) < 0) _exit(6);
        _exit(0);
      }
      close(fds[1]);
      char buf[512] = {};
      const ssize_t n = read(fds[0], buf, sizeof buf - 1);
      close(fds[0]);
      int status = 0;
      rusage usage{};
      wait4(child, &status, 0, &usage);
      if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("%-8s %-16s failed\n", kind, m.name);
        continue;
      }
      // Peak includes the page image the child made (3 bytes per pixel).
      std::string s(buf, size_t(n));
      const size_t cut = s.rfind(' ');
      std::printf("%s %9.0f %10s\n", s.substr(0, cut).c_str(), usage.ru_maxrss / 1024.0, s.substr(cut + 1).c_str());
      std::fflush(stdout);
    }
  }
  return 0;
}
