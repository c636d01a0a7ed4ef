// The example printer description, compiled once per fuzzing process.
#pragma once
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "description_image.h"

namespace qvx::fuzz {

inline const DescriptionImage* ExampleDescription() {
  static DescriptionImagePtr image = [] {
    std::ifstream file(QVX_SOURCE_DIR "/examples/ppd/qvx07c.ppd", std::ios::binary);
    std::vector<uint8_t> text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    DescriptionImagePtr stored = CompileDescription(ParseDescriptionBuffer(text), "qvx07c.ppd");
    if (!stored) __builtin_trap();
    const auto* bytes = reinterpret_cast<const uint8_t*>(stored.get());
    return AdoptImageBytes({bytes, stored->totalSize});
  }();
  return image.get();
}

}  // namespace qvx::fuzz
