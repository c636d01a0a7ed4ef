#include "trays.h"

#include <cstring>

#include "printer_data.h"

namespace qvx::core {
namespace {

constexpr std::u16string_view kTrayFormSize = u"TrayFormSize";
constexpr std::u16string_view kTrayFormTable = u"TrayFormTable";

// Reads 16-bit little-endian units from a byte span without ever stepping
// past its end.
class UnitReader {
 public:
  UnitReader(std::span<const uint8_t> bytes, size_t offset) : bytes_(bytes), offset_(offset) {}

  bool AtEnd() const { return offset_ >= bytes_.size(); }
  size_t Offset() const { return offset_; }

  std::optional<uint16_t> Unit() {
    if (bytes_.size() - std::min(offset_, bytes_.size()) < 2) return std::nullopt;
    const uint16_t value = static_cast<uint16_t>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
    offset_ += 2;
    return value;
  }

  // A zero-terminated string; nullopt when the data ends before its terminator.
  std::optional<std::u16string> String() {
    std::u16string text;
    for (;;) {
      const auto unit = Unit();
      if (!unit) return std::nullopt;
      if (*unit == 0) return text;
      text.push_back(static_cast<char16_t>(*unit));
    }
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t offset_;
};

void PutUnit(std::vector<uint8_t>& out, uint16_t unit) {
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

void PutString(std::vector<uint8_t>& out, std::u16string_view text) {
  for (char16_t c : text) PutUnit(out, c);
  PutUnit(out, 0);
}

bool IsCurrentForm(std::span<const uint8_t> bytes) {
  return bytes.size() >= 2 && static_cast<size_t>(bytes[0] | (bytes[1] << 8)) == bytes.size();
}

}  // namespace

std::optional<std::vector<TrayFormEntry>> ParseTrayFormTable(std::span<const uint8_t> bytes) {
  if (!IsCurrentForm(bytes)) return std::nullopt;
  std::vector<TrayFormEntry> entries;
  UnitReader reader(bytes, 2);
  for (;;) {
    auto tray = reader.String();
    if (!tray || tray->empty()) break;
    auto form = reader.String();
    auto printerForm = reader.String();
    auto flags = reader.Unit();
    if (!form || !printerForm || !flags) break;
    entries.push_back({std::move(*tray), std::move(*form), std::move(*printerForm), *flags});
  }
  return entries;
}

std::optional<std::vector<uint8_t>> EncodeTrayFormTable(const std::vector<TrayFormEntry>& entries) {
  std::vector<uint8_t> out;
  PutUnit(out, 0);
  for (const TrayFormEntry& entry : entries) {
    PutString(out, entry.tray);
    PutString(out, entry.form);
    PutString(out, entry.printerForm);
    PutUnit(out, entry.flags);
  }
  PutUnit(out, 0);
  if (out.size() > 0xFFFF) return std::nullopt;
  out[0] = static_cast<uint8_t>(out.size() & 0xFF);
  out[1] = static_cast<uint8_t>(out.size() >> 8);
  return out;
}

std::optional<std::vector<uint8_t>> UpgradeOlderTrayFormTable(std::span<const uint8_t> bytes) {
  std::vector<TrayFormEntry> entries;
  UnitReader reader(bytes, 0);
  for (;;) {
    auto tray = reader.String();
    if (!tray) return std::nullopt;
    if (tray->empty()) break;
    auto form = reader.String();
    auto printerForm = reader.String();
    if (!form || !printerForm) return std::nullopt;
    entries.push_back({std::move(*tray), std::move(*form), std::move(*printerForm), 0});
  }
  if (reader.Offset() != bytes.size()) return std::nullopt;
  return EncodeTrayFormTable(entries);
}

std::optional<std::vector<TrayFormEntry>> ReadTrayFormTable(Printer& printer) {
  const auto bytes = ReadSizedValue(printer, kTrayFormSize, kTrayFormTable);
  if (!bytes) return std::nullopt;
  return ParseTrayFormTable(*bytes);
}

bool UpgradeTrayFormTable(Printer& printer) {
  const auto bytes = ReadSizedValue(printer, kTrayFormSize, kTrayFormTable);
  if (!bytes || bytes->empty() || IsCurrentForm(*bytes)) return true;
  const auto upgraded = UpgradeOlderTrayFormTable(*bytes);
  if (!upgraded) return false;
  WriteSizedValue(printer, kTrayFormSize, kTrayFormTable, upgraded->data(), upgraded->size());
  return true;
}

}  // namespace qvx::core
