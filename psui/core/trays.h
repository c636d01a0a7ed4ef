// The tray-form table ("TrayFormTable"): which form is loaded in which tray.
// Stored as a 16-bit total size, entries of three zero-terminated UTF-16
// strings (tray, form, printer form) each followed by a 16-bit flag word, and
// an empty string that ends the table. Tables of older drivers have neither
// the size word nor the flag words.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform.h"

namespace qvx::core {

struct TrayFormEntry {
  std::u16string tray;
  std::u16string form;
  std::u16string printerForm;
  uint16_t flags = 0;

  bool operator==(const TrayFormEntry&) const = default;
};

// Entries of a table in the current form; nullopt when its size word does not
// equal its byte count. Entries stop at the end marker or where the data
// ends in the middle of an entry.
std::optional<std::vector<TrayFormEntry>> ParseTrayFormTable(std::span<const uint8_t> bytes);

// The stored bytes of a table in the current form; nullopt when it would not
// fit its 16-bit size word.
std::optional<std::vector<uint8_t>> EncodeTrayFormTable(const std::vector<TrayFormEntry>& entries);

// A table of the older form rewritten in the current form (flags 0);
// nullopt when the older table does not end exactly where its data ends.
std::optional<std::vector<uint8_t>> UpgradeOlderTrayFormTable(std::span<const uint8_t> bytes);

// The printer's table; nullopt when it has none or it is not in the current form.
std::optional<std::vector<TrayFormEntry>> ReadTrayFormTable(Printer& printer);

// Rewrites an older table in the current form. True when the printer has no
// table, the table is current, or it was rewritten.
bool UpgradeTrayFormTable(Printer& printer);

}  // namespace qvx::core
