// The settings the driver and the status monitor keep in step through the
// monitor's per-user INI file: which monitor functions are enabled ("Set" as
// a list of function numbers, "Bits" as flags) and, per printer, the
// pages-per-sheet ("10") and colour ("3") values.
//
// This is the portable half: it sees the INI files through IniFile and the
// printer through MonitorPrinter, so it runs natively against an in-memory
// INI and under Windows against the profile functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings_record.h"

namespace qvx::events {

// Monitor function bits. Only colour and pages per sheet touch the record.
inline constexpr uint32_t kMonitorColorBit = 0x4;
inline constexpr uint32_t kMonitorPagesPerSheetBit = 0x100;
inline constexpr uint32_t kMonitorRecordBits = kMonitorColorBit | kMonitorPagesPerSheetBit;

// One INI file as the profile functions see it. A key that is present with an
// empty value is not the same as a missing key.
class IniFile {
 public:
  virtual ~IniFile() = default;
  virtual std::optional<std::u16string> Read(std::u16string_view section,
                                             std::u16string_view key) const = 0;
  virtual void Write(std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) = 0;
  virtual void Remove(std::u16string_view section, std::u16string_view key) = 0;
};

// What the hand-off needs to know about the printer.
struct MonitorPrinter {
  std::u16string name;       // its section in the monitor INI
  std::u16string modelIni;   // file name of the model INI; empty when unknown
  std::u16string language;   // language library string 8109, "ENG" without it
  bool ownPrintProcessor = false;  // print processor is "QVPROC PRINT"
};

// "10,3" -> 0x104. Numbers without a monitor function are ignored.
uint32_t BitsFromSetList(std::u16string_view list);

// The list written for bits: every enabled function in the order 10, 11, 12,
// 1, 2, 3, or empty unless pages per sheet or colour is among them.
std::u16string SetListFromBits(uint32_t bits);

// An INI number: optional sign, then "0x" and hex digits or decimal digits;
// trailing text is ignored. Empty when there are no digits.
std::optional<int64_t> ParseIniNumber(std::u16string_view text);

// True for a "major.minor" version text of 3.1 or later.
bool IsCurrentMonitorVersion(std::u16string_view version);

// The monitor functions enabled for the printer: its own "Bits", else the
// model's default (its "Bits", or the bits of its "Set"). model may be null.
uint32_t MonitorBits(const IniFile& monitor, const IniFile* model, const MonitorPrinter& printer);

// At sheet start: imposes the monitor's pages-per-sheet and colour values on
// the record. Does nothing unless the record has privByte824 set and the
// monitor INI names a printer.
void ApplyMonitorSettings(IniFile& monitor, const IniFile* model, const MonitorPrinter& printer,
                          SettingsRecord& record);

// When settings are applied: writes the record's pages per sheet and colour
// back for the functions the monitor has enabled. Same preconditions.
void StoreMonitorSettings(IniFile& monitor, const IniFile* model, const MonitorPrinter& printer,
                          const SettingsRecord& record);

// From the user interface: records which monitor functions are enabled.
void StoreMonitorBits(IniFile& monitor, const IniFile* model, const MonitorPrinter& printer,
                      uint32_t bits);

// Text helpers shared with the Windows half.
std::u16string DecimalText(int64_t value);
std::u16string HexText(uint32_t value);  // "0x%x"

}  // namespace qvx::events
