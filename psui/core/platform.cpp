#include "platform.h"

#include <cstring>

namespace qvx::core {

std::optional<uint32_t> Printer::GetDword(std::u16string_view name) {
  auto value = GetData(name);
  if (!value || value->bytes.size() < 4) return std::nullopt;
  uint32_t v;
  std::memcpy(&v, value->bytes.data(), 4);
  return v;
}

std::optional<std::vector<uint8_t>> Printer::GetBinary(std::u16string_view name) {
  auto value = GetData(name);
  if (!value) return std::nullopt;
  return std::move(value->bytes);
}

bool Printer::SetDword(std::u16string_view name, uint32_t value) {
  DataValue v{ValueType::Dword, std::vector<uint8_t>(4)};
  std::memcpy(v.bytes.data(), &value, 4);
  return SetData(name, v);
}

bool Printer::SetBinary(std::u16string_view name, const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  return SetData(name, DataValue{ValueType::Binary, std::vector<uint8_t>(p, p + size)});
}

bool Printer::SetString(std::u16string_view name, std::u16string_view text) {
  DataValue v{ValueType::String, std::vector<uint8_t>((text.size() + 1) * 2)};
  std::memcpy(v.bytes.data(), text.data(), text.size() * 2);
  return SetData(name, v);
}

std::string NarrowText(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return out;
}

std::u16string WidenText(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

static char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace qvx::core
