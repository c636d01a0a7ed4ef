// Parse + compile against loading the cache file, for the full example description
// and for a large synthetic one (over 1 MB of text).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "description_image.h"
#include "test_paths.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Many features with many translated options, defaults, order dependencies and
// constraints: the shape of a big description, scaled up.
std::string SyntheticDescription() {
  std::string text = "*PPD-Adobe: \"4.3\"\n*FileVersion: \"2.00\"\n*NickName: \"Synthetic Large Model\"\n";
  text += ReadText(qvx::test::SourcePath("examples/ppd/qvx07c.ppd"));
  for (int f = 0; f < 360; ++f) {
    const std::string name = "Feature" + std::to_string(f);
    text += "*OpenUI *" + name + "/Synthetic feature " + std::to_string(f) + ": PickOne\n";
    text += "*OrderDependency: " + std::to_string(100 + f) + " AnySetup *" + name + "\n";
    text += "*Default" + name + ": Option7\n";
    for (int o = 0; o < 64; ++o) {
      text += "*" + name + " Option" + std::to_string(o) + "/Choice " + std::to_string(o) + " of " + name +
              ": \"" + std::to_string(o * 3) + " setchoice\"\n";
    }
    text += "*CloseUI: *" + name + "\n";
    if (f > 0) {
      text += "*UIConstraints: *" + name + " Option1 *Feature" + std::to_string(f - 1) + " Option2\n";
    }
  }
  return text;
}

struct Fixture {
  fs::path dir;
  fs::path full;
  fs::path large;
  std::string fullText;
  std::string largeText;

  Fixture() {
    dir = fs::temp_directory_path() / "qvx-description-bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    full = dir / "qvx07c.ppd";
    large = dir / "large.ppd";
    fs::copy_file(qvx::test::SourcePath("examples/ppd/qvx07c.ppd"), full);
    fullText = ReadText(full);
    largeText = SyntheticDescription();
    std::ofstream(large, std::ios::binary).write(largeText.data(), static_cast<std::streamsize>(largeText.size()));
    // Build the two caches once.
    qvx::LoadDescriptionImage(full);
    qvx::LoadDescriptionImage(large);
  }
  ~Fixture() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

Fixture& Files() {
  static Fixture fixture;
  return fixture;
}

void ParseCompile(benchmark::State& state, const std::string& text) {
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  for (auto _ : state) {
    qvx::DescriptionImagePtr image = qvx::CompileDescription(qvx::ParseDescriptionBuffer(bytes), "bench.ppd");
    if (!image) state.SkipWithError("description did not compile");
    benchmark::DoNotOptimize(image.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["text_bytes"] = static_cast<double>(text.size());
}

void CacheLoad(benchmark::State& state, const fs::path& path) {
  size_t imageSize = 0;
  for (auto _ : state) {
    qvx::DescriptionImagePtr image = qvx::LoadDescriptionImage(path);
    if (!image) state.SkipWithError("no image");
    imageSize = image ? image->totalSize : 0;
    benchmark::DoNotOptimize(image.get());
  }
  state.counters["image_bytes"] = static_cast<double>(imageSize);
}

void BM_ParseCompileFullExample(benchmark::State& state) { ParseCompile(state, Files().fullText); }
void BM_CacheLoadFullExample(benchmark::State& state) { CacheLoad(state, Files().full); }
void BM_ParseCompileLarge(benchmark::State& state) { ParseCompile(state, Files().largeText); }
void BM_CacheLoadLarge(benchmark::State& state) { CacheLoad(state, Files().large); }

}  // namespace

BENCHMARK(BM_ParseCompileFullExample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CacheLoadFullExample)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseCompileLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CacheLoadLarge)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
