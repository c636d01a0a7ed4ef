// Cost of what every spooler entry point pays before it answers: an acquire
// and release of the cached description image, and the capability answers
// (the default record, the merge and the walk of the description).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "cache.h"
#include "capabilities.h"
#include "platform_fake.h"
#include "print_query.h"
#include "settings_defaults.h"
#include "test_paths.h"

namespace {

using namespace qvx;

DescriptionImagePtr LoadExample() {
  std::ifstream file(test::SourcePath("examples/ppd/qvx07c.ppd"), std::ios::binary);
  std::vector<uint8_t> text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  DescriptionImagePtr stored = CompileDescription(ParseDescriptionBuffer(text), "qvx07c.ppd");
  const auto* bytes = reinterpret_cast<const uint8_t*>(stored.get());
  return AdoptImageBytes({bytes, stored->totalSize});
}

struct Setup {
  DescriptionImagePtr image = LoadExample();
  core::FakePlatform platform;
  std::shared_ptr<core::FakePrinterState> printer;
  Setup() {
    printer = platform.AddPrinter(u"Bench", u"Quorvel Model 07 ", u"C:\\qvx07c.ppd");
    printer->forms = std::vector<core::FormInfo>{{core::kFormBuiltin, u"A4", 210000, 297000}};
    platform.SetCountry(u"49");
  }
};

Setup& Shared() {
  static Setup setup;
  return setup;
}

// The hit path of the cache; with several threads, the contention on its lock.
void BM_CacheAcquireRelease(benchmark::State& state) {
  static core::DescriptionImageCache cache({[](const DescriptionImage* image) {
                                              return std::u16string_view(image->path.get());
                                            },
                                            [](DescriptionImage*) {}});
  static const char16_t path[] = u"C:\\Windows\\spool\\drivers\\x64\\3\\QVX07C.PPD";
  static DescriptionImage image = [] {
    DescriptionImage header{};
    header.path.value = reinterpret_cast<uintptr_t>(path);
    return header;
  }();
  for (auto _ : state) {
    DescriptionImage* held = cache.Acquire(path, true, [] { return &image; });
    benchmark::DoNotOptimize(held);
    cache.Release(held);
  }
}
BENCHMARK(BM_CacheAcquireRelease)->Threads(1)->Threads(4);

void BM_Capability(benchmark::State& state) {
  Setup& setup = Shared();
  core::FakePrinter printer(setup.printer);
  std::vector<uint8_t> output(64 * 64 * 2);
  const auto index = static_cast<uint16_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(core::QueryDeviceCapabilities(setup.platform, printer, setup.image.get(), u"Bench",
                                                           index, output.data(), nullptr, 0));
  }
}
BENCHMARK(BM_Capability)->Arg(core::dc::kSize)->Arg(core::dc::kPaperSize)->Arg(core::dc::kPaperNames);

void BM_PrintQuery(benchmark::State& state) {
  Setup& setup = Shared();
  core::FakePrinter printer(setup.printer);
  SettingsRecord job{};
  core::BuildDefaultSettings(job, u"Bench", setup.image.get(), true, setup.platform);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        core::EvaluatePrintQuery(setup.platform, printer, setup.image.get(), &job, sizeof job).printable);
  }
}
BENCHMARK(BM_PrintQuery);

}  // namespace

BENCHMARK_MAIN();
