// Compiling description text held by a test.
#pragma once

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "description_image.h"

namespace qvx::test {

inline std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The stored form (references are offsets) as bytes; empty when the text does not parse.
inline std::vector<uint8_t> StoredBlock(std::string_view text) {
  DescriptionImagePtr image = CompileDescription(ParseDescriptionBuffer(Bytes(text)), "test.ppd");
  if (!image) return {};
  const auto* p = reinterpret_cast<const uint8_t*>(image.get());
  return {p, p + image->totalSize};
}

// A loaded image; null when the text does not parse.
inline DescriptionImagePtr CompileText(std::string_view text) {
  const std::vector<uint8_t> block = StoredBlock(text);
  if (block.empty()) return nullptr;
  return AdoptImageBytes(block);
}

inline std::string Str(const char* text) { return text ? text : "(null)"; }

}  // namespace qvx::test
