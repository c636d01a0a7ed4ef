// Numbers and the file stamp as the description file writes and identifies them.
#include <array>

#include "description_parse_tree.h"

namespace qvx {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    table[i] = crc;
  }
  return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipBlanks(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

}  // namespace

uint16_t DescriptionStamp(std::span<const uint8_t> bytes) noexcept {
  uint16_t crc = 0;
  for (uint8_t byte : bytes) crc = static_cast<uint16_t>((crc << 8) ^ kCrcTable[((crc >> 8) ^ byte) & 0xFF]);
  return crc;
}

bool ParseDescriptionInteger(std::string_view text, uint32_t& value, std::string_view* rest) noexcept {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  const size_t firstDigit = i;
  uint64_t number = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    number = number * 10 + static_cast<unsigned>(text[i] - '0');
    if (number > INT32_MAX) number = INT32_MAX;
  }
  if (i == firstDigit) return false;
  value = negative ? 0 : static_cast<uint32_t>(number);
  if (rest) *rest = text.substr(i);
  return true;
}

bool ParseDescriptionFixed(std::string_view text, Fixed& value, std::string_view* rest) noexcept {
  size_t i = SkipBlanks(text);
  bool negative = false;
  if (i < text.size() && text[i] == '-') {
    negative = true;
    ++i;
  }
  bool anyDigit = false;
  uint64_t whole = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    anyDigit = true;
    whole = whole * 10 + static_cast<unsigned>(text[i] - '0');
    if (whole > INT32_MAX) whole = INT32_MAX;
  }
  uint64_t fraction = 0, scale = 1;
  if (i < text.size() && text[i] == '.') {
    ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
      anyDigit = true;
      if (scale < 100000) {  // at most five fraction digits count
        fraction = fraction * 10 + static_cast<unsigned>(text[i] - '0');
        scale *= 10;
      }
    }
  }
  if (!anyDigit) return false;
  uint64_t fixed = whole * 256 + (fraction * 256 + scale / 2) / scale;
  if (fixed > INT32_MAX) fixed = INT32_MAX;
  value = negative ? 0 : static_cast<Fixed>(fixed);
  if (rest) *rest = text.substr(i);
  return true;
}

}  // namespace qvx
