// Building and releasing sheet states over a printer double (the spooler seam
// in memory), with the real description image from an example description.
#include "sheet_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "cache.h"
#include "platform_fake.h"
#include "printer_data.h"
#include "test_paths.h"

namespace qvx::sheets {
namespace {

std::u16string U16(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }

core::DataValue Dword(uint32_t v) {
  core::DataValue value{core::ValueType::Dword, std::vector<uint8_t>(4)};
  std::memcpy(value.bytes.data(), &v, 4);
  return value;
}

class SheetStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state = std::make_shared<core::FakePrinterState>();
    state->info = core::PrinterInfo{u"Fake Office", u"QVX Fake Driver", u"winprint", {}};
    state->driver = core::DriverInfo{u"QVX Fake Driver", u"QVXUI.DLL",
                                     U16(qvx::test::SourcePath("examples/ppd/qvx01m.ppd").wstring()),
                                     u"QVXUI.DLL"};
    printer = std::make_unique<core::FakePrinter>(state);
  }

  SheetState* Build(IncomingRecord input = {}, DWORD mode = DM_COPY) {
    return BuildSheetState(reinterpret_cast<HANDLE>(0x1234), *printer, input, mode);
  }

  std::shared_ptr<core::FakePrinterState> state;
  std::unique_ptr<core::FakePrinter> printer;
};

TEST_F(SheetStateTest, BuildsAWorkingRecordAndThePrinterState) {
  ScopedSheetState sheet(Build());
  ASSERT_TRUE(sheet);
  EXPECT_EQ(CheckedSheetState(reinterpret_cast<ULONG_PTR>(sheet.get())), sheet.get());
  EXPECT_EQ(sheet->printer, reinterpret_cast<HANDLE>(0x1234));
  ASSERT_NE(sheet->image, nullptr);
  EXPECT_EQ(core::ProcessDescriptionCache().CachedImage(), sheet->image);
  ASSERT_NE(sheet->driverName, nullptr);
  EXPECT_STREQ(sheet->driverName, L"QVX Fake Driver");
  EXPECT_FALSE(sheet->ownPrintProcessor);
  EXPECT_TRUE(sheet->mayUpdate);
  EXPECT_FALSE(sheet->userDefault);
  EXPECT_EQ(sheet->savedWatermarkIndex, kNoSavedWatermark);
  EXPECT_EQ(sheet->currentSelection[0], kNoSelection);
  EXPECT_EQ(sheet->currentSelection[1], kNoSelection);
  EXPECT_EQ(sheet->colorSystem, 0);

  EXPECT_TRUE(IsOwnRecord(&sheet->record, sizeof sheet->record));
  EXPECT_EQ(sheet->record.endMarker, kEndMarker);
  EXPECT_EQ(sheet->record.blockReady, 1);
  EXPECT_EQ(sheet->printerRecord.version, core::kPrinterRecordVersion);
  EXPECT_EQ(sheet->printerRecord.size, core::kPrinterRecordSize);

  // The description's papers became forms, once.
  EXPECT_EQ(printer->GetDword(u"Forms?"), 2u);
  ASSERT_TRUE(state->forms);
  EXPECT_FALSE(state->forms->empty());
}

TEST_F(SheetStateTest, ReleaseGivesTheImageBack) {
  const int before = [&] {
    ScopedSheetState warm(Build());  // the first build installs the image in the cache
    return core::ProcessDescriptionCache().References() - 1;
  }();
  {
    ScopedSheetState a(Build());
    ScopedSheetState b(Build());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->image, b->image);  // shared through the cache
    EXPECT_EQ(core::ProcessDescriptionCache().References(), before + 2);
  }
  EXPECT_EQ(core::ProcessDescriptionCache().References(), before);
}

TEST_F(SheetStateTest, FailsWithoutDescriptionOrPrinterInformation) {
  const int before = core::ProcessDescriptionCache().References();
  state->info.reset();
  EXPECT_EQ(Build(), nullptr);
  // The image acquired before the printer information failed went back.
  EXPECT_EQ(core::ProcessDescriptionCache().References(), before);

  SetUp();
  state->driver->dataFile = u"Z:\\no\\such\\description.ppd";
  EXPECT_EQ(Build(), nullptr);
  state->driver.reset();
  EXPECT_EQ(Build(), nullptr);
}

TEST_F(SheetStateTest, PrinterRecordAndCallerRecordAreMergedInOrder) {
  // The printer's own record carries a private choice and a public one.
  ScopedSheetState first(Build());
  ASSERT_TRUE(first);
  SettingsRecord stored = first->record;
  stored.qualityCode = -1;
  stored.dm.dmOrientation = 2;
  stored.dm.dmFields |= dm::kOrientation;
  state->info->devMode.assign(reinterpret_cast<uint8_t*>(&stored),
                              reinterpret_cast<uint8_t*>(&stored) + sizeof stored);

  // The caller's record is another driver's: its public fields count, its
  // private bytes do not.
  std::vector<uint8_t> foreign(kPublicSize + 40, 0xAB);
  DevModeW dm{};
  dm.dmSpecVersion = kSpecVersion;
  dm.dmDriverVersion = 0x0100;
  dm.dmSize = kPublicSize;
  dm.dmDriverExtra = 40;
  dm.dmFields = dm::kPaperSize;
  dm.dmPaperSize = 1;  // Letter
  std::memcpy(foreign.data(), &dm, sizeof dm);

  ScopedSheetState sheet(Build({foreign.data(), foreign.size()}));
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->record.qualityCode, -1);
  EXPECT_EQ(sheet->record.signature, kSignature);
  EXPECT_EQ(sheet->record.dm.dmPaperSize, 1);
  EXPECT_TRUE(IsOwnRecord(&sheet->record, sizeof sheet->record));
}

TEST_F(SheetStateTest, ModeProcessorWatermarkAndColourSystem) {
  {
    ScopedSheetState sheet(Build({}, kModeNoPermission | kModeUserDefault | DM_COPY));
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(sheet->mayUpdate);
    EXPECT_TRUE(sheet->userDefault);
  }
  state->info->printProcessor = u"QVPROC PRINT";
  {
    ScopedSheetState sheet(Build());
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->ownPrintProcessor);
  }

  // A selected watermark is remembered by index.
  SettingsRecord input;
  {
    ScopedSheetState sheet(Build());
    input = sheet->record;
  }
  input.watermarkOn = 1;
  input.watermarkIndex = 5;
  {
    ScopedSheetState sheet(Build({&input, sizeof input}));
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->savedWatermarkIndex, 5);
  }

  struct Case {
    const char* name;
    std::optional<core::DataValue> wcs;
    uint8_t flag;
  };
  const Case cases[] = {
      {"missing", std::nullopt, 0},
      {"dword 1", Dword(1), 1},
      {"dword 2", Dword(2), 0},
      {"binary 1", core::DataValue{core::ValueType::Binary, {1, 0, 0, 0}}, 0},
      {"short dword", core::DataValue{core::ValueType::Dword, {1, 0}}, 0},
  };
  for (const Case& c : cases) {
    state->data.erase(u"WCS");
    if (c.wcs) state->data[u"WCS"] = *c.wcs;
    ScopedSheetState sheet(Build());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->colorSystem, c.flag) << c.name;
  }
}

TEST_F(SheetStateTest, OlderPrinterRecordIsTakenWithCurrentVersionAndSize) {
  core::PrinterRecord old{};
  old.version = 0x0400;
  old.size = 60;
  old.memory = 4u << 20;
  core::WriteSizedValue(*printer, u"PrinterDataSize", u"PrinterData", &old, sizeof old);
  ScopedSheetState sheet(Build());
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->printerRecord.version, core::kPrinterRecordVersion);
  EXPECT_EQ(sheet->printerRecord.size, core::kPrinterRecordSize);
  EXPECT_EQ(sheet->printerRecord.memory, 4u << 20);
}

TEST_F(SheetStateTest, SupportSwitchesDefaultToOn) {
  struct Case {
    std::optional<uint32_t> bsc, wu;
    uint16_t supportCenter, webUpdate;
    uint8_t flags;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, 1, 1, kSupportCenterOn | kWebUpdateOn},
      {0, std::nullopt, 0, 1, kWebUpdateOn | kSupportSomeOff},
      {2, 0, 2, 0, kSupportCenterOn | kSupportSomeOff},
      {0, 0, 0, 0, kSupportSomeOff},
  };
  ScopedSheetState sheet(Build());
  ASSERT_TRUE(sheet);
  for (const Case& c : cases) {
    state->data.clear();
    if (c.bsc) printer->SetDword(u"BSC", *c.bsc);
    if (c.wu) printer->SetDword(u"WU", *c.wu);
    ReadSupportSwitches(*sheet.get(), *printer);
    EXPECT_EQ(sheet->supportCenter, c.supportCenter);
    EXPECT_EQ(sheet->webUpdate, c.webUpdate);
    EXPECT_EQ(sheet->supportFlags, c.flags);
  }
}

TEST_F(SheetStateTest, SelfPointersGuardTheState) {
  ScopedSheetState sheet(Build());
  ASSERT_TRUE(sheet);
  const auto value = reinterpret_cast<ULONG_PTR>(sheet.get());
  EXPECT_EQ(CheckedSheetState(0), nullptr);
  sheet->selfCheck = nullptr;
  EXPECT_EQ(CheckedSheetState(value), nullptr);
  sheet->selfCheck = sheet.get();
  sheet->self = reinterpret_cast<SheetState*>(value + 8);
  EXPECT_EQ(CheckedSheetState(value), nullptr);
  sheet->self = sheet.get();
  EXPECT_EQ(CheckedSheetState(value), sheet.get());
}

}  // namespace
}  // namespace qvx::sheets
