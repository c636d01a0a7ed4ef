// Forms, the tray-form table and the printer-wide record in printer data,
// against the in-memory platform (Wine's form database only pretends).
#include <gtest/gtest.h>

#include <cstring>

#include "forms.h"
#include "printer_data.h"
#include "settings_fixture.h"
#include "settings_templates.h"
#include "trays.h"

namespace qvx::test {
namespace {

using core::FormInfo;
using core::kFormBuiltin;
using core::kFormPrinter;
using core::kFormUser;

class FormsTest : public SettingsTest {
 protected:
  core::FakePrinter Printer() { return core::FakePrinter(printer_); }
  std::vector<FormInfo>& Forms() { return *printer_->forms; }
  const FormInfo* Form(std::u16string_view name) {
    for (const FormInfo& f : Forms()) {
      if (f.name == name) return &f;
    }
    return nullptr;
  }
  std::optional<uint32_t> Dword(std::u16string_view name) { return Printer().GetDword(name); }
};

TEST_F(FormsTest, InstallAddsSizedPapersOnce) {
  auto printer = Printer();
  core::InstallForms(printer, image_);
  // A4, Letter and the borderless A4 under its translation; "User" has no size.
  ASSERT_EQ(Forms().size(), 3u);
  const FormInfo* a4 = Form(u"A4");
  ASSERT_NE(a4, nullptr);
  EXPECT_EQ(a4->flags, kFormPrinter);
  EXPECT_NEAR(a4->width, 210000, 20);
  EXPECT_NEAR(a4->height, 297000, 20);
  EXPECT_EQ(a4->right, a4->width);
  EXPECT_EQ(a4->bottom, a4->height);
  EXPECT_NE(Form(u"A4 (borderless)"), nullptr);
  EXPECT_EQ(Dword(u"Forms?"), 2u);

  Forms().clear();
  core::InstallForms(printer, image_);
  EXPECT_TRUE(Forms().empty()) << "\"Forms?\" = 2 stops a second run";
}

TEST_F(FormsTest, UpgradeReplacesUserFormsOfTheDescription) {
  auto printer = Printer();
  Forms() = {{kFormUser, u"A4", 1000, 1000}, {kFormUser, u"Mine", 1, 1}, {kFormBuiltin, u"Letter", 2, 2}};

  // Without "Forms?" the upgrade changes no form.
  core::UpgradeForms(printer, image_);
  EXPECT_EQ(Forms().size(), 3u);
  EXPECT_FALSE(Dword(u"Forms?"));

  printer.SetDword(u"Forms?", 2);
  core::UpgradeForms(printer, image_);
  ASSERT_NE(Form(u"A4"), nullptr);
  EXPECT_EQ(Form(u"A4")->flags, kFormPrinter) << "reinstalled as a printer form";
  EXPECT_NE(Form(u"Mine"), nullptr);
  EXPECT_EQ(Form(u"Letter")->flags, kFormBuiltin);
  EXPECT_EQ(Dword(u"Forms?"), 2u);
}

TEST_F(FormsTest, UpgradeWithoutMatchingUserFormsChangesNothing) {
  auto printer = Printer();
  printer.SetDword(u"Forms?", 2);
  Forms() = {{kFormUser, u"Mine", 1, 1}};
  const int writes = printer_->dataWrites;
  core::UpgradeForms(printer, image_);
  EXPECT_EQ(Forms().size(), 1u);
  EXPECT_EQ(printer_->dataWrites, writes);
}

std::vector<uint8_t> Units(std::initializer_list<std::u16string_view> strings) {
  std::vector<uint8_t> out;
  for (auto s : strings) {
    for (char16_t c : s) out.insert(out.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
    out.insert(out.end(), {0, 0});
  }
  return out;
}

TEST_F(FormsTest, OlderTrayTableIsUpgraded) {
  auto printer = Printer();
  // Two entries of the older form: triplets and an empty string at the end.
  const auto older = Units({u"Tray1", u"A4", u"A4", u"Tray2", u"Letter", u"Letter", u""});
  core::WriteSizedValue(printer, u"TrayFormSize", u"TrayFormTable", older.data(), older.size());
  EXPECT_FALSE(core::ReadTrayFormTable(printer)) << "not in the current form yet";

  ASSERT_TRUE(core::UpgradeTrayFormTable(printer));
  const auto stored = core::ReadSizedValue(printer, u"TrayFormSize", u"TrayFormTable");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), older.size() + 6) << "size word and one flag word per entry";
  const auto table = core::ReadTrayFormTable(printer);
  ASSERT_TRUE(table);
  EXPECT_EQ(*table, (std::vector<core::TrayFormEntry>{{u"Tray1", u"A4", u"A4", 0}, {u"Tray2", u"Letter", u"Letter", 0}}));

  // Current tables are left alone.
  const int writes = printer_->dataWrites;
  EXPECT_TRUE(core::UpgradeTrayFormTable(printer));
  EXPECT_EQ(printer_->dataWrites, writes);
}

TEST_F(FormsTest, DamagedTrayTables) {
  auto printer = Printer();
  // An older table that does not end where its data ends stays as it is.
  auto older = Units({u"Tray1", u"A4", u"A4", u""});
  older.insert(older.end(), {'x', 0});
  core::WriteSizedValue(printer, u"TrayFormSize", u"TrayFormTable", older.data(), older.size());
  EXPECT_FALSE(core::UpgradeTrayFormTable(printer));
  EXPECT_EQ(core::ReadSizedValue(printer, u"TrayFormSize", u"TrayFormTable"), older);

  // A current table cut inside an entry yields the entries before it.
  auto cut = *core::EncodeTrayFormTable({{u"Tray1", u"A4", u"A4", 1}, {u"Tray2", u"B5", u"B5", 0}});
  cut.resize(cut.size() - 8);
  cut[0] = static_cast<uint8_t>(cut.size());
  const auto entries = core::ParseTrayFormTable(cut);
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), 1u);

  // A size value larger than the data: no table.
  printer.SetDword(u"TrayFormSize", 4000);
  EXPECT_FALSE(core::ReadTrayFormTable(printer));
  EXPECT_TRUE(core::UpgradeTrayFormTable(printer));
}

class PrinterRecordTest : public FormsTest {
 protected:
  core::PrinterRecord Stored() {
    auto printer = Printer();
    const auto bytes = core::ReadSizedValue(printer, u"PrinterDataSize", u"PrinterData");
    EXPECT_TRUE(bytes);
    EXPECT_EQ(bytes ? bytes->size() : 0, sizeof(core::PrinterRecord));
    core::PrinterRecord record{};
    if (bytes) std::memcpy(&record, bytes->data(), std::min(bytes->size(), sizeof record));
    return record;
  }
};

TEST_F(PrinterRecordTest, BuiltFromFreeMemAndTheDescription) {
  auto printer = Printer();
  printer.SetDword(u"FreeMem", 50);
  const auto record = core::BuildPrinterRecord(platform_, printer, image_);
  EXPECT_EQ(record.version, 0x0503);
  EXPECT_EQ(record.size, 108);
  EXPECT_EQ(record.memory, 102400u) << "50 KB is raised to the minimum";
  EXPECT_EQ(record.descriptionStamp, 0x1234);
  EXPECT_EQ(record.featureCount, 1);  // VMOption
  EXPECT_EQ(record.flags & core::kPrinterMetricCountry, core::kPrinterMetricCountry);

  printer.SetDword(u"FreeMem", 4096);
  EXPECT_EQ(core::BuildPrinterRecord(platform_, printer, image_).memory, 4096u * 1024);
}

TEST_F(PrinterRecordTest, StaleSelectionsAreResolvedAgain) {
  auto printer = Printer();
  core::PrinterRecord stored = core::BuildPrinterRecord(platform_, printer, image_);
  stored.descriptionStamp = 0x9999;
  stored.selections[0] = 7;
  stored.memory = 777777;
  core::WriteSizedValue(printer, u"PrinterDataSize", u"PrinterData", &stored, sizeof stored);
  const auto read = core::ReadPrinterRecord(platform_, printer, image_);
  EXPECT_EQ(read.descriptionStamp, 0x1234);
  EXPECT_EQ(read.selections[0], 0);
  EXPECT_EQ(read.memory, 777777u) << "only the selections are rebuilt";
}

TEST_F(PrinterRecordTest, UpgradePublishesAndWritesTheRecord) {
  auto printer = Printer();
  // An older, shorter record: what it has keeps its place.
  const uint8_t older[12] = {0x00, 0x04, 12, 0, 0, 0, 0, 0, 0x00, 0x00, 0x10, 0x00};  // 1 MB
  core::WriteSizedValue(printer, u"PrinterDataSize", u"PrinterData", older, sizeof older);
  platform_.languageStrings[8205] = u"Standard printing with a long profile name";
  ASSERT_TRUE(core::UpgradePrinterRecord(platform_, printer, image_, {0, 1}));

  const auto record = Stored();
  EXPECT_EQ(record.version, 0x0503);
  EXPECT_EQ(record.size, 108);
  EXPECT_EQ(record.memory, 0x100000u);
  EXPECT_EQ(Dword(u"FreeMem"), 1024u);
  EXPECT_EQ(printer.GetBinary(u"PrinterHT"), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(Dword(u"BSC"), 0u) << "a SolutionCenter value of 0 is published";
  EXPECT_FALSE(Dword(u"WU")) << "a value of 1 is not";

  for (int i = 0; i < 12; ++i) {
    const auto preset = printer.GetBinary(core::WidenText("Devmode" + std::to_string(i)));
    ASSERT_TRUE(preset) << i;
    ASSERT_EQ(preset->size(), 2432u);
  }
  EXPECT_FALSE(printer.GetBinary(u"Devmode12"));
  SettingsTemplate preset;
  std::memcpy(&preset, printer.GetBinary(u"Devmode0")->data(), sizeof preset);
  EXPECT_STREQ(preset.name, "Standard printing with a long");  // 29 characters
  EXPECT_EQ(core::FieldText(preset.record.dm.dmDeviceName, 32), u"Quorvel Model 05 ");
  EXPECT_EQ(preset.record.dm.dmSize, 220);
  EXPECT_EQ(preset.record.dm.dmDriverExtra, 2156);
  EXPECT_EQ(preset.record.dm.dmDriverVersion, 0x0503);
  SettingsTemplate expected;
  core::BuildSettingsTemplate(0, expected);
  EXPECT_EQ(preset.record.dm.dmPaperSize, expected.record.dm.dmPaperSize);
  EXPECT_EQ(preset.icon, expected.icon);
}

TEST_F(PrinterRecordTest, UpgradeWithoutDescriptionFails) {
  auto printer = Printer();
  EXPECT_FALSE(core::UpgradePrinterRecord(platform_, printer, nullptr, {}));
}

}  // namespace
}  // namespace qvx::test
