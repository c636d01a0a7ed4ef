#include "monitor_settings.h"

#include <algorithm>
#include <array>

namespace qvx::events {
namespace {

constexpr std::u16string_view kMonitorSection = u"QVSTMON";
constexpr std::u16string_view kPrinterKey = u"Printer";
constexpr std::u16string_view kModelKey = u"Model";
constexpr std::u16string_view kLangKey = u"Lang";
constexpr std::u16string_view kNewKey = u"New";
constexpr std::u16string_view kProcKey = u"Proc";
constexpr std::u16string_view kOldProcKey = u"10C";
constexpr std::u16string_view kSetKey = u"Set";
constexpr std::u16string_view kBitsKey = u"Bits";
constexpr std::u16string_view kPagesPerSheetKey = u"10";
constexpr std::u16string_view kColorKey = u"3";

// Monitor function numbers with their bits, in the order "Set" lists them.
struct MonitorFunction {
  int number;
  uint32_t bit;
};
constexpr std::array<MonitorFunction, 6> kFunctions{{
    {10, 0x100}, {11, 0x200}, {12, 0x400}, {1, 0x1}, {2, 0x2}, {3, 0x4}}};

// "3" keeps its own flags above the low 12 bits; only then does the low part
// carry a colour choice (1 monochrome, anything else colour).
constexpr uint32_t kColorValueMask = 0xFFF;
constexpr int64_t kColorDefault = 2;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexDigit(char16_t c) {
  if (IsDigit(c)) return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Brings the shared keys of the printer's section up to date. False when the
// monitor INI names no printer at all, which means the monitor has never run
// for this user and there is nothing to keep in step.
bool SyncPrinterSection(IniFile& monitor, const MonitorPrinter& printer) {
  auto current = monitor.Read(kMonitorSection, kPrinterKey);
  if (!current) return false;
  if (*current != printer.name) monitor.Write(kMonitorSection, kPrinterKey, printer.name);
  if (!printer.modelIni.empty() && monitor.Read(printer.name, kModelKey) != printer.modelIni)
    monitor.Write(printer.name, kModelKey, printer.modelIni);

  if (monitor.Read(printer.name, kLangKey) != printer.language)
    monitor.Write(printer.name, kLangKey, printer.language);
  if (printer.ownPrintProcessor) {
    monitor.Write(printer.name, kNewKey, u"1");
    monitor.Remove(printer.name, kOldProcKey);
    monitor.Write(printer.name, kProcKey, u"1");
  } else if (monitor.Read(printer.name, kOldProcKey)) {
    monitor.Write(printer.name, kNewKey, u"1");
    monitor.Remove(printer.name, kOldProcKey);
    monitor.Remove(printer.name, kProcKey);
  }
  return true;
}

std::optional<std::u16string> ModelSet(const IniFile* model, const MonitorPrinter& printer) {
  if (model == nullptr) return std::nullopt;
  return model->Read(printer.language, kSetKey);
}

int64_t ReadNumber(const IniFile& ini, std::u16string_view section, std::u16string_view key,
                   int64_t fallback) {
  auto text = ini.Read(section, key);
  if (!text) return fallback;
  return ParseIniNumber(*text).value_or(fallback);
}

void ApplyPagesPerSheet(int64_t value, SettingsRecord& record) {
  auto resetScaling = [&] {
    record.scalingMode = 0;
    record.dm.dmScale = 100;
  };
  switch (value) {
    case 1:
      record.pagesPerSheet = 1;
      record.privWord260 = 1;
      record.privWord186 = 1;
      break;
    case 2:
    case 4:
    case 9:
    case 16:
      record.pagesPerSheet = static_cast<int32_t>(value);
      record.privWord260 = 1;
      record.privWord186 = 1;
      resetScaling();
      break;
    case -4:
    case -9:  // poster 2 x 2 and 3 x 3
      record.pagesPerSheet = static_cast<int32_t>(value);
      record.privWord260 = value == -4 ? 2 : 3;
      resetScaling();
      break;
    default:
      break;
  }
}

}  // namespace

std::u16string DecimalText(int64_t value) {
  std::u16string text;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) text.insert(text.begin(), u'-');
  return text;
}

std::u16string HexText(uint32_t value) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return u"0x" + digits;
}

std::optional<int64_t> ParseIniNumber(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  // Values beyond 32 bits are not numbers any writer of this file produces;
  // the cap only keeps the arithmetic defined.
  constexpr int64_t kCap = int64_t{1} << 40;
  int64_t value = 0;
  bool any = false;
  if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
      i + 2 < text.size() && HexDigit(text[i + 2]) >= 0) {
    for (i += 2; i < text.size() && HexDigit(text[i]) >= 0; ++i, any = true)
      value = std::min(value * 16 + HexDigit(text[i]), kCap);
  } else {
    for (; i < text.size() && IsDigit(text[i]); ++i, any = true)
      value = std::min(value * 10 + (text[i] - u'0'), kCap);
  }
  if (!any) return std::nullopt;
  return negative ? -value : value;
}

uint32_t BitsFromSetList(std::u16string_view list) {
  uint32_t bits = 0;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(u',', start);
    if (end == std::u16string_view::npos) end = list.size();
    std::u16string_view token = list.substr(start, end - start);
    auto number = ParseIniNumber(token);
    for (const auto& f : kFunctions)
      if (number && *number == f.number) bits |= f.bit;
    start = end + 1;
  }
  return bits;
}

std::u16string SetListFromBits(uint32_t bits) {
  std::u16string list;
  if ((bits & kMonitorRecordBits) == 0) return list;
  for (const auto& f : kFunctions) {
    if ((bits & f.bit) == 0) continue;
    if (!list.empty()) list += u',';
    list += DecimalText(f.number);
  }
  return list;
}

bool IsCurrentMonitorVersion(std::u16string_view version) {
  size_t i = 0;
  while (i < version.size() && version[i] == u' ') ++i;
  int64_t major = 0, minor = 0;
  bool any = false;
  for (; i < version.size() && IsDigit(version[i]) && major < 100000; ++i, any = true)
    major = major * 10 + (version[i] - u'0');
  if (!any) return false;
  if (i < version.size() && version[i] == u'.') {
    for (++i; i < version.size() && IsDigit(version[i]) && minor < 100000; ++i)
      minor = minor * 10 + (version[i] - u'0');
  }
  return major > 3 || (major == 3 && minor >= 1);
}

uint32_t MonitorBits(const IniFile& monitor, const IniFile* model, const MonitorPrinter& printer) {
  if (auto bits = monitor.Read(printer.name, kBitsKey))
    return static_cast<uint32_t>(ParseIniNumber(*bits).value_or(0));
  if (model == nullptr) return 0;
  if (auto bits = model->Read(printer.language, kBitsKey))
    return static_cast<uint32_t>(ParseIniNumber(*bits).value_or(0));
  // A model INI that lists only its default "Set" still says which functions
  // are on.
  if (auto set = model->Read(printer.language, kSetKey)) return BitsFromSetList(*set);
  return 0;
}

void ApplyMonitorSettings(IniFile& monitor, const IniFile* model, const MonitorPrinter& printer,
                          SettingsRecord& record) {
  if (record.privByte824 == 0 || !SyncPrinterSection(monitor, printer)) return;
  const uint32_t bits = MonitorBits(monitor, model, printer);
  if (bits & kMonitorPagesPerSheetBit) {
    if (auto text = monitor.Read(printer.name, kPagesPerSheetKey))
      if (auto value = ParseIniNumber(*text)) ApplyPagesPerSheet(*value, record);
  }
  if (bits & kMonitorColorBit) {
    const auto value = static_cast<uint32_t>(ReadNumber(monitor, printer.name, kColorKey, kColorDefault));
    if ((value & ~kColorValueMask) != 0) record.dm.dmColor = (value & kColorValueMask) == 1 ? 1 : 2;
  }
}

void StoreMonitorSettings(IniFile& monitor, const IniFile* model, const MonitorPrinter& printer,
                          const SettingsRecord& record) {
  if (record.privByte824 == 0 || !SyncPrinterSection(monitor, printer)) return;
  if (!monitor.Read(printer.name, kSetKey)) {
    if (auto set = ModelSet(model, printer)) {
      monitor.Write(printer.name, kSetKey, *set);
      monitor.Write(printer.name, kBitsKey, HexText(BitsFromSetList(*set)));
    }
  }
  const uint32_t bits = MonitorBits(monitor, model, printer);
  if (bits & kMonitorPagesPerSheetBit) {
    auto text = monitor.Read(printer.name, kPagesPerSheetKey);
    auto current = text ? ParseIniNumber(*text) : std::nullopt;
    if (current != int64_t{record.pagesPerSheet})
      monitor.Write(printer.name, kPagesPerSheetKey, DecimalText(record.pagesPerSheet));
  }
  if (bits & kMonitorColorBit) {
    const auto value = static_cast<uint32_t>(ReadNumber(monitor, printer.name, kColorKey, kColorDefault));
    const uint32_t wanted = record.dm.dmColor == 2 ? 2 : 1;
    if ((value & ~kColorValueMask) != 0 && (value & kColorValueMask) != wanted)
      monitor.Write(printer.name, kColorKey, DecimalText((value & ~kColorValueMask) | wanted));
  }
}

void StoreMonitorBits(IniFile& monitor, const IniFile* model, const MonitorPrinter& printer,
                      uint32_t bits) {
  const std::u16string list = SetListFromBits(bits);
  auto current = monitor.Read(printer.name, kSetKey);
  if (!current) current = ModelSet(model, printer);
  if (current == list) return;
  monitor.Write(printer.name, kSetKey, list);
  monitor.Write(printer.name, kBitsKey, HexText(bits));
  monitor.Write(printer.name, kNewKey, u"1");
}

}  // namespace qvx::events
