// Row compressors of the raster swaths and their inverses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qvx::raster {

enum class RowCoding : uint8_t {
  Raw = 0,        // bytes as they are
  PackBits = 1,   // TIFF PackBits
  ZeroRuns = 2,   // zero-run groups (header: literals << 5 | zeros)
  WordRuns = 3,   // runs of 1-, 2- or 4-byte units found on 4-byte words
};

// Worst-case compressed size of an n-byte row for every coding.
constexpr size_t MaxCodedSize(size_t n) { return n + n / 2 + 16; }

struct CodedRow {
  size_t size = 0;
  bool sparse = false;  // zero-run coding only: at most two groups carried literals
};

// Word-run coding of `bytes` bytes (a multiple of 4) that repeat the 4-byte
// unit: the tokens of the widest unit size that fits, 32 units at most each.
uint8_t* CodeWordRun(const uint8_t* unit, size_t bytes, uint8_t* out);

// Compresses n bytes of src into dst, which holds at least MaxCodedSize(n) bytes.
CodedRow CompressRow(RowCoding coding, const uint8_t* src, size_t n, uint8_t* dst);

// Expands coded bytes; nullopt when the data is malformed or the result would
// exceed maxOut bytes.
std::optional<std::vector<uint8_t>> ExpandRow(RowCoding coding, const uint8_t* src, size_t n,
                                              size_t maxOut);

}  // namespace qvx::raster
