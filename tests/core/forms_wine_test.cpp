// Printer data on a real printer of the Wine prefix (its printer data store
// is real; its form database is not, so forms are tested on the double).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>

#include "defaults_file.h"
#include "description_access.h"
#include "printer_data.h"
#include "settings_defaults.h"
#include "test_paths.h"
#include "trays.h"
#include "win_platform.h"
#include "wine_printer_fixture.h"

namespace qvx::test {
namespace {

class PrinterDataWineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    driver_ = new WineDriver(L"Quorvel Model 07 data " + ExecutableTag(), SourcePath("examples/ppd/qvx07c.ppd"));
    printer_ = new WinePrinter(L"QVX data " + ExecutableTag(), *driver_);
  }
  static void TearDownTestSuite() {
    delete printer_;
    delete driver_;
  }

  static inline WineDriver* driver_ = nullptr;
  static inline WinePrinter* printer_ = nullptr;
};

TEST_F(PrinterDataWineTest, UpgradeWritesTheRecordPresetsAndSwitches) {
  const auto defaultsFile = core::win::DefaultsFilePath();
  ASSERT_FALSE(defaultsFile.empty());
  {
    std::ofstream out(defaultsFile);
    out << "[Default Setting]\r\nSolutionCenter=0\r\nWebUpdate=1\r\n";
  }
  const core::DefaultsFileValues values = core::win::ReadDefaultsFile();
  std::filesystem::remove(defaultsFile);
  EXPECT_EQ(values.solutionCenter, 0u);
  EXPECT_EQ(values.webUpdate, 1u);

  auto printer = core::win::BorrowPrinter(printer_->Handle());
  core::win::ScopedDescriptionImage image(core::win::AcquireDescriptionImage(*printer, false));
  ASSERT_TRUE(image);
  printer_->SetDword(L"FreeMem", 50);
  ASSERT_TRUE(core::UpgradePrinterRecord(core::win::Win32Platform(), *printer, image.get(), values));

  const auto bytes = core::ReadSizedValue(*printer, u"PrinterDataSize", u"PrinterData");
  ASSERT_TRUE(bytes);
  ASSERT_EQ(bytes->size(), sizeof(core::PrinterRecord));
  core::PrinterRecord record;
  std::memcpy(&record, bytes->data(), sizeof record);
  EXPECT_EQ(record.version, 0x0503);
  EXPECT_EQ(record.memory, 102400u);
  EXPECT_EQ(record.descriptionStamp, GetDescriptionStamp(image.get()));
  EXPECT_EQ(record.featureCount, GetPrinterFeatureCount(image.get()));
  EXPECT_EQ(printer->GetDword(u"FreeMem"), 100u);
  EXPECT_EQ(printer->GetDword(u"BSC"), 0u);
  EXPECT_FALSE(printer->GetDword(u"WU"));

  // Presets carry the printer's own record's header and device name.
  const auto info = printer->GetInfo();
  ASSERT_TRUE(info);
  ASSERT_GE(info->devMode.size(), sizeof(DevModeW));
  DevModeW own;
  std::memcpy(&own, info->devMode.data(), sizeof own);
  for (int i = 0; i < 12; ++i) {
    const auto preset = printer->GetBinary(core::WidenText("Devmode" + std::to_string(i)));
    ASSERT_TRUE(preset) << i;
    ASSERT_EQ(preset->size(), sizeof(SettingsTemplate)) << i;
    SettingsTemplate stored;
    std::memcpy(&stored, preset->data(), sizeof stored);
    EXPECT_EQ(std::memcmp(stored.record.dm.dmDeviceName, own.dmDeviceName, sizeof own.dmDeviceName), 0) << i;
    EXPECT_EQ(stored.record.dm.dmFields, own.dmFields) << i;
  }
}

TEST_F(PrinterDataWineTest, OlderTrayTableIsRewritten) {
  auto printer = core::win::BorrowPrinter(printer_->Handle());
  const char16_t older[] = u"Tray1\0A4\0A4\0\0";
  core::WriteSizedValue(*printer, u"TrayFormSize", u"TrayFormTable", older, sizeof older - 2);
  ASSERT_TRUE(core::UpgradeTrayFormTable(*printer));
  const auto table = core::ReadTrayFormTable(*printer);
  ASSERT_TRUE(table);
  ASSERT_EQ(table->size(), 1u);
  EXPECT_EQ((*table)[0].form, u"A4");
}

}  // namespace
}  // namespace qvx::test
