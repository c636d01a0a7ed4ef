// Cost of building the default record and of the merge every entry point runs
// on each call (property sheets, capabilities, print query).
#include <benchmark/benchmark.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "description_image.h"
#include "platform_fake.h"
#include "settings_defaults.h"
#include "settings_merge.h"
#include "test_paths.h"

namespace {

const qvx::DescriptionImage* Description() {
  static qvx::DescriptionImagePtr image = [] {
    std::ifstream file(qvx::test::SourcePath("examples/ppd/qvx07c.ppd"), std::ios::binary);
    std::vector<uint8_t> text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    qvx::DescriptionImagePtr stored = qvx::CompileDescription(qvx::ParseDescriptionBuffer(text), "qvx07c.ppd");
    const auto* bytes = reinterpret_cast<const uint8_t*>(stored.get());
    return qvx::AdoptImageBytes({bytes, stored->totalSize});
  }();
  return image.get();
}

qvx::core::FakePlatform& Platform() {
  static qvx::core::FakePlatform platform = [] {
    qvx::core::FakePlatform p;
    p.AddPrinter(u"Bench", u"Quorvel Model 07 ", u"qvx07c.ppd");
    p.SetCountry(u"49");
    return p;
  }();
  return platform;
}

void BM_BuildDefaultSettings(benchmark::State& state) {
  qvx::SettingsRecord record;
  for (auto _ : state) {
    qvx::core::BuildDefaultSettings(record, u"Bench", Description(), true, Platform());
    benchmark::DoNotOptimize(record);
  }
}
BENCHMARK(BM_BuildDefaultSettings);

void Merge(benchmark::State& state, const void* incoming, size_t size) {
  auto printer = Platform().OpenPrinterByName(u"Bench");
  qvx::SettingsRecord defaults;
  qvx::core::BuildDefaultSettings(defaults, u"Bench", Description(), true, Platform());
  for (auto _ : state) {
    qvx::SettingsRecord record = defaults;
    qvx::core::MergeSettings(record, incoming, size, printer.get(), Description(), Platform());
    benchmark::DoNotOptimize(record);
  }
}

void BM_MergeOwnRecord(benchmark::State& state) {
  qvx::SettingsRecord own;
  qvx::core::BuildDefaultSettings(own, u"Bench", Description(), false, Platform());
  Merge(state, &own, sizeof own);
}
BENCHMARK(BM_MergeOwnRecord);

void BM_MergePublicPart(benchmark::State& state) {
  qvx::SettingsRecord own;
  qvx::core::BuildDefaultSettings(own, u"Bench", Description(), false, Platform());
  qvx::DevModeW bare;
  std::memcpy(&bare, &own, sizeof bare);
  bare.dmDriverVersion = qvx::kTicketDriverVersion;
  bare.dmDriverExtra = 0;
  Merge(state, &bare, sizeof bare);
}
BENCHMARK(BM_MergePublicPart);

}  // namespace

BENCHMARK_MAIN();
