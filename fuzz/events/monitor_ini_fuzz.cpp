// The status monitor's INI is a per-user file anybody can edit: every value
// the driver reads from it, whatever its text, must leave a sane record and
// must not crash the driver.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fake_ini.h"
#include "monitor_settings.h"

using namespace qvx;
using namespace qvx::events;

namespace {

// Splits the input into the values of the keys the driver reads.
std::u16string Take(const uint8_t*& data, size_t& size) {
  std::u16string text;
  while (size > 0) {
    const uint8_t c = *data++;
    --size;
    if (c == '\n') break;
    text += static_cast<char16_t>(c);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  test::FakeIni monitor, model;
  MonitorPrinter printer{u"P", u"M.INI", u"ENG", size > 0 && (data[0] & 1)};
  monitor.values[{u"QVSTMON", u"Printer"}] = Take(data, size);
  for (const char16_t* key : {u"Bits", u"Set", u"10", u"3", u"10C"}) {
    std::u16string value = Take(data, size);
    if (!value.empty()) monitor.values[{u"P", key}] = value;
  }
  model.values[{u"ENG", u"Set"}] = Take(data, size);
  model.values[{u"ENG", u"Bits"}] = Take(data, size);

  SettingsRecord record;
  std::memset(&record, 0, sizeof record);
  record.privByte824 = 1;
  record.pagesPerSheet = 1;
  record.dm.dmScale = 100;
  record.dm.dmColor = 2;
  ApplyMonitorSettings(monitor, &model, printer, record);
  if (record.dm.dmColor != 1 && record.dm.dmColor != 2) __builtin_trap();
  if (record.dm.dmScale != 100) __builtin_trap();
  StoreMonitorSettings(monitor, &model, printer, record);
  StoreMonitorBits(monitor, &model, printer, MonitorBits(monitor, &model, printer));
  IsCurrentMonitorVersion(Take(data, size));
  return 0;
}
