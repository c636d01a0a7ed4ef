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

// Plane rows as the coders see them. Kind 0: halftoned-looking sparse dots with
// runs of zeros; 1: dense multibit dots after a five-phase mask (every fifth
// byte zero); 2: dense dots after a two-phase mask; 3: text-like, long blank
// and solid stretches. Each variant differs, as the rows of a page do (one row
// coded again and again would let the branch predictor learn it).
std::vector<uint8_t> CompressRowOfKind(int kind, uint32_t variant) {
  static const uint8_t kMask7[5] = {0xC0, 0x30, 0x0C, 0x03, 0x00};
  std::vector<uint8_t> row(1206);
  const uint32_t x0 = variant * 1237;
  for (size_t i = 0; i < row.size(); ++i) {
    const uint32_t x = x0 + uint32_t(i);
    const uint32_t h = test::Hash(x, 9);
    switch (kind) {
      case 0: row[i] = test::Hash(x, 3) % 5 == 0 ? uint8_t(h) : 0; break;
      case 1: row[i] = uint8_t(h | 0x55) & kMask7[(i + variant) % 5]; break;
      case 2: row[i] = uint8_t(h) & 0xAA; break;
      default: row[i] = (x / 97) % 3 == 0 ? 0xFF : (x / 97) % 3 == 1 ? 0 : uint8_t(h % 4 == 0 ? h : 0); break;
    }
  }
  return row;
}

void BM_Compress(benchmark::State& state) {
  constexpr uint32_t kVariants = 64;
  std::vector<std::vector<uint8_t>> rows;
  for (uint32_t v = 0; v < kVariants; ++v) rows.push_back(CompressRowOfKind(int(state.range(1)), v));
  std::vector<uint8_t> out(MaxCodedSize(rows[0].size()));
  const auto coding = RowCoding(state.range(0));
  uint32_t v = 0;
  for (auto _ : state) {
    const std::vector<uint8_t>& row = rows[v++ % kVariants];
    benchmark::DoNotOptimize(CompressRow(coding, row.data(), row.size(), out.data()));
  }
  state.SetBytesProcessed(state.iterations() * int64_t(rows[0].size()));
}
BENCHMARK(BM_Compress)->ArgsProduct({{1, 2, 3}, {0, 1, 2, 3}});

}  // namespace

BENCHMARK_MAIN();
