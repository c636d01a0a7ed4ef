// The status monitor's INI rules: function lists and bits, the settings the
// monitor imposes on a record at sheet start and the values written back.
#include "monitor_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fake_ini.h"

namespace qvx::events {
namespace {

using test::FakeIni;

std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(MonitorFunctionList, ListsAndBitsConvert) {
  struct Case {
    std::u16string list;
    uint32_t bits;
  };
  for (const Case& c : {Case{u"10,3", 0x104}, Case{u"1,2,3,10,11,12", 0x707}, Case{u"", 0},
                        Case{u" 10 , 7,x,12", 0x500}, Case{u"3", 0x4}})
    EXPECT_EQ(BitsFromSetList(c.list), c.bits) << Narrow(c.list);

  EXPECT_EQ(SetListFromBits(0x707), u"10,11,12,1,2,3");
  EXPECT_EQ(SetListFromBits(0x104), u"10,3");
  EXPECT_EQ(SetListFromBits(0x5), u"1,3");
  // Without pages per sheet or colour the monitor has nothing to watch.
  EXPECT_EQ(SetListFromBits(0x603), u"");
  EXPECT_EQ(HexText(0x104), u"0x104");
  EXPECT_EQ(DecimalText(-9), u"-9");
}

TEST(MonitorFunctionList, NumbersAndVersions) {
  EXPECT_EQ(ParseIniNumber(u"0x104"), 0x104);
  EXPECT_EQ(ParseIniNumber(u"-4"), -4);
  EXPECT_EQ(ParseIniNumber(u" 16 pages"), 16);
  EXPECT_EQ(ParseIniNumber(u"0x"), 0);
  EXPECT_EQ(ParseIniNumber(u""), std::nullopt);
  EXPECT_EQ(ParseIniNumber(u"abc"), std::nullopt);
  EXPECT_EQ(ParseIniNumber(u"99999999999999999999999"), int64_t{1} << 40);

  for (auto v : {u"3.1", u"3.10", u"3.2.0.0", u"4.0", u"10", u" 3.1"})
    EXPECT_TRUE(IsCurrentMonitorVersion(v)) << Narrow(v);
  for (auto v : {u"3.0", u"3", u"2.99", u"", u"v3.1", u".9"})
    EXPECT_FALSE(IsCurrentMonitorVersion(v)) << Narrow(v);
}

class MonitorSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&record, 0, sizeof record);
    record.privByte824 = 1;
    record.pagesPerSheet = 1;
    record.privWord260 = 1;
    record.scalingMode = 3;
    record.dm.dmScale = 75;
    record.dm.dmColor = 2;
    monitor.values[{u"QVSTMON", u"Printer"}] = u"Other printer";
    printer.name = u"Office";
    printer.modelIni = u"QVX01.INI";
    printer.language = u"ENG";
  }

  FakeIni monitor;
  FakeIni model;
  MonitorPrinter printer;
  SettingsRecord record;
};

TEST_F(MonitorSettingsTest, PagesPerSheetImposedOnRecord) {
  struct Case {
    std::u16string value;
    int32_t pagesPerSheet;
    uint16_t layout;      // privWord260
    uint16_t imposed;     // privWord186
    uint8_t scalingMode;  // reset to 0 for n-up and poster
    int16_t scale;
  };
  const Case cases[] = {
      {u"1", 1, 1, 1, 3, 75},   {u"2", 2, 1, 1, 0, 100},  {u"4", 4, 1, 1, 0, 100},
      {u"9", 9, 1, 1, 0, 100},  {u"16", 16, 1, 1, 0, 100}, {u"-4", -4, 2, 0, 0, 100},
      {u"-9", -9, 3, 0, 0, 100}, {u"3", 1, 1, 0, 3, 75},  {u"junk", 1, 1, 0, 3, 75},
  };
  for (const Case& c : cases) {
    SetUp();
    monitor.values[{u"Office", u"Bits"}] = u"0x100";
    monitor.values[{u"Office", u"10"}] = c.value;
    ApplyMonitorSettings(monitor, &model, printer, record);
    SCOPED_TRACE(Narrow(c.value));
    EXPECT_EQ(record.pagesPerSheet, c.pagesPerSheet);
    EXPECT_EQ(record.privWord260, c.layout);
    EXPECT_EQ(record.privWord186, c.imposed);
    EXPECT_EQ(record.scalingMode, c.scalingMode);
    EXPECT_EQ(record.dm.dmScale, c.scale);
  }
}

TEST_F(MonitorSettingsTest, ColourImposedOnlyWhenTheValueCarriesFlags) {
  struct Case {
    std::u16string value;
    int16_t color;
  };
  for (const Case& c : {Case{u"4097", 1}, Case{u"0x1002", 2}, Case{u"0x2005", 2}, Case{u"1", 2}}) {
    SetUp();
    monitor.values[{u"Office", u"Bits"}] = u"0x4";
    monitor.values[{u"Office", u"3"}] = c.value;
    ApplyMonitorSettings(monitor, &model, printer, record);
    EXPECT_EQ(record.dm.dmColor, c.color) << Narrow(c.value);
  }
  // Colour not among the enabled functions: the value is not looked at.
  SetUp();
  monitor.values[{u"Office", u"Bits"}] = u"0x100";
  monitor.values[{u"Office", u"3"}] = u"4097";
  ApplyMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(record.dm.dmColor, 2);
}

TEST_F(MonitorSettingsTest, BitsFallBackToTheModelDefaults) {
  monitor.values[{u"Office", u"10"}] = u"4";
  monitor.values[{u"Office", u"3"}] = u"4097";

  // No bits anywhere, no model INI: nothing is imposed.
  ApplyMonitorSettings(monitor, nullptr, printer, record);
  EXPECT_EQ(record.pagesPerSheet, 1);
  EXPECT_EQ(MonitorBits(monitor, nullptr, printer), 0u);

  // The model's language section gives the default, as bits or as a list.
  model.values[{u"ENG", u"Set"}] = u"10";
  EXPECT_EQ(MonitorBits(monitor, &model, printer), 0x100u);
  model.values[{u"ENG", u"Bits"}] = u"0x104";
  ApplyMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(record.pagesPerSheet, 4);
  EXPECT_EQ(record.dm.dmColor, 1);

  // The printer's own bits win over the model's.
  monitor.values[{u"Office", u"Bits"}] = u"0x1";
  EXPECT_EQ(MonitorBits(monitor, &model, printer), 0x1u);
}

TEST_F(MonitorSettingsTest, NothingHappensWithoutTheSwitchOrAMonitorPrinter) {
  monitor.values[{u"Office", u"Bits"}] = u"0x104";
  monitor.values[{u"Office", u"10"}] = u"4";
  const FakeIni before = monitor;

  record.privByte824 = 0;
  ApplyMonitorSettings(monitor, &model, printer, record);
  StoreMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(record.pagesPerSheet, 1);
  EXPECT_EQ(monitor.writes, 0);

  record.privByte824 = 1;
  monitor.values.erase({u"QVSTMON", u"Printer"});
  ApplyMonitorSettings(monitor, &model, printer, record);
  StoreMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(record.pagesPerSheet, 1);
  EXPECT_EQ(monitor.writes, 0);
}

TEST_F(MonitorSettingsTest, PrinterSectionIsKeptCurrent) {
  monitor.values[{u"Office", u"10C"}] = u"1";
  monitor.values[{u"Office", u"Proc"}] = u"1";
  ApplyMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(monitor.Get(u"QVSTMON", u"Printer"), u"Office");
  EXPECT_EQ(monitor.Get(u"Office", u"Model"), u"QVX01.INI");
  EXPECT_EQ(monitor.Get(u"Office", u"Lang"), u"ENG");
  // Another print processor: an old "10C" marks the section as new and the
  // processor entries go.
  EXPECT_EQ(monitor.Get(u"Office", u"New"), u"1");
  EXPECT_EQ(monitor.Get(u"Office", u"10C"), u"<missing>");
  EXPECT_EQ(monitor.Get(u"Office", u"Proc"), u"<missing>");

  // Up to date and no "10C": a second run writes nothing.
  monitor.writes = 0;
  ApplyMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(monitor.writes, 0);

  printer.ownPrintProcessor = true;
  monitor.values[{u"Office", u"10C"}] = u"1";
  monitor.values.erase({u"Office", u"New"});
  ApplyMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(monitor.Get(u"Office", u"New"), u"1");
  EXPECT_EQ(monitor.Get(u"Office", u"Proc"), u"1");
  EXPECT_EQ(monitor.Get(u"Office", u"10C"), u"<missing>");
}

TEST_F(MonitorSettingsTest, StoreWritesBackWhatDiffers) {
  model.values[{u"ENG", u"Set"}] = u"10,3";
  monitor.values[{u"Office", u"3"}] = u"0x1001";
  record.pagesPerSheet = 4;
  record.dm.dmColor = 2;
  StoreMonitorSettings(monitor, &model, printer, record);
  // The model's default list is taken over with its bits.
  EXPECT_EQ(monitor.Get(u"Office", u"Set"), u"10,3");
  EXPECT_EQ(monitor.Get(u"Office", u"Bits"), u"0x104");
  EXPECT_EQ(monitor.Get(u"Office", u"10"), u"4");
  EXPECT_EQ(monitor.Get(u"Office", u"3"), u"4098");

  // Everything in step: nothing more is written.
  monitor.writes = 0;
  StoreMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(monitor.writes, 0);

  // A colour value without flags above the low 12 bits is the monitor's own.
  monitor.values[{u"Office", u"3"}] = u"1";
  StoreMonitorSettings(monitor, &model, printer, record);
  EXPECT_EQ(monitor.Get(u"Office", u"3"), u"1");
}

TEST_F(MonitorSettingsTest, StoringBitsWritesListBitsAndNewOnlyOnChange) {
  model.values[{u"ENG", u"Set"}] = u"10,3";
  StoreMonitorBits(monitor, &model, printer, 0x104);  // same as the model's default
  EXPECT_EQ(monitor.writes, 0);

  StoreMonitorBits(monitor, &model, printer, 0x105);
  EXPECT_EQ(monitor.Get(u"Office", u"Set"), u"10,1,3");
  EXPECT_EQ(monitor.Get(u"Office", u"Bits"), u"0x105");
  EXPECT_EQ(monitor.Get(u"Office", u"New"), u"1");
  EXPECT_EQ(MonitorBits(monitor, &model, printer), 0x105u);

  StoreMonitorBits(monitor, &model, printer, 0x2);
  EXPECT_EQ(monitor.Get(u"Office", u"Set"), u"");
  EXPECT_EQ(monitor.Get(u"Office", u"Bits"), u"0x2");
}

}  // namespace
}  // namespace qvx::events
