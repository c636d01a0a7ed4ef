// Kernels of the raster pipeline on a photo-like band.
#include <benchmark/benchmark.h>

#include "compress.h"
#include "halftone.h"
#include "raster_job.h"

using namespace qvx::raster;

namespace {

const test::Image& Band() {
  static const test::Image band = test::PhotoLike(4800, 96);
  return band;
}

RasterSettings Settings(uint16_t code) {
  RasterSettings s;
  s.code = code;
  return s;
}

void BM_InkValues(benchmark::State& state) {
  const RasterSettings s = Settings(0x2300);
  ColourConverter cv;
  cv.Init(BuiltinTables(3, 2, 1), s, s.code, 2);
  const test::Image& im = Band();
  for (auto _ : state) {
    uint32_t sum = 0;
    for (size_t i = 0; i < im.rgb.size(); i += 3) {
      const Inks v = cv.InkValues(im.rgb[i], im.rgb[i + 1], im.rgb[i + 2]);
      sum += v.c + v.m + v.y + v.k;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * im.width * im.height);
}
BENCHMARK(BM_InkValues);

// The same conversion a row at a time, as the diffusion kernels take it.
void BM_InkRow(benchmark::State& state) {
  const RasterSettings s = Settings(0x2300);
  ColourConverter cv;
  cv.Init(BuiltinTables(3, 2, 1), s, s.code, 2);
  const test::Image& im = Band();
  std::vector<Inks> out(size_t(im.width));
  for (auto _ : state)
    for (int y = 0; y < im.height; ++y) {
      cv.InkRow(im.Row(y), im.width, out.data());
      benchmark::DoNotOptimize(out.data());
    }
  state.SetItemsProcessed(state.iterations() * im.width * im.height);
}
BENCHMARK(BM_InkRow);

void BM_Halftone(benchmark::State& state) {
  const uint16_t code = uint16_t(state.range(0));
  const int family = state.range(1);
  const RasterSettings s = Settings(code);
  ColourConverter cv;
  cv.Init(BuiltinTables(PassClass(code), family, 1), s, code, family);
  const MethodRecord method = SelectMethod(family, code, 0, 9);
  Halftoner ht;
  const test::Image& im = Band();
  ht.Select(method, im.width * method.replication);
  const size_t stride = size_t(im.width) * method.replication * method.bits / 8 + 8;
  std::vector<uint8_t> out(size_t(16) * ht.LinesPerRow() * 4 * stride);
  for (auto _ : state)
    for (int y = 0; y < im.height; y += 16)
      benchmark::DoNotOptimize(ht.Rows(cv, im.Row(y), size_t(im.width) * 3, 16, y, 0, im.width, out.data(), stride));
  state.SetItemsProcessed(state.iterations() * im.width * im.height);
}
BENCHMARK(BM_Halftone)->Args({0x2300, 2})->Args({0x300, 2})->Args({0x2500, 2})->Args({0x300, 1});

void BM_Compress(benchmark::State& state) {
  // Halftoned-looking rows: sparse dots with runs of zeros.
  std::vector<uint8_t> row(1206);
  for (size_t i = 0; i < row.size(); ++i) row[i] = test::Hash(uint32_t(i), 3) % 5 == 0 ? uint8_t(test::Hash(uint32_t(i), 9)) : 0;
  std::vector<uint8_t> out(MaxCodedSize(row.size()));
  const auto coding = RowCoding(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(CompressRow(coding, row.data(), row.size(), out.data()));
  state.SetBytesProcessed(state.iterations() * int64_t(row.size()));
}
BENCHMARK(BM_Compress)->DenseRange(1, 3);

}  // namespace

BENCHMARK_MAIN();
