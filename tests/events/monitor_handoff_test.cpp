// The status monitor hand-off against the real registry, profile functions and
// version resources (under Wine): where the INI lives with and without a
// current monitor, what the per-user key records, and the settings read from
// and written to the INI for a printer.
#include "monitor_handoff.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <array>
#include <filesystem>
#include <memory>

#include "platform_fake.h"
#include "test_paths.h"

namespace qvx::events::win {
namespace {

namespace fs = std::filesystem;

std::wstring Folder(int csidl) {
  std::array<wchar_t, MAX_PATH> path{};
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path.data()), S_OK);
  return path.data();
}

std::wstring WindowsDirectory() {
  std::array<wchar_t, MAX_PATH> path{};
  GetWindowsDirectoryW(path.data(), MAX_PATH);
  return path.data();
}

std::wstring SystemDirectoryPath() {
  std::array<wchar_t, MAX_PATH> path{};
  GetSystemDirectoryW(path.data(), MAX_PATH);
  return path.data();
}

fs::path BesideTest(const wchar_t* name) {
  std::array<wchar_t, MAX_PATH> exe{};
  GetModuleFileNameW(nullptr, exe.data(), MAX_PATH);
  return fs::path(exe.data()).parent_path() / name;
}

std::optional<std::vector<uint8_t>> RegistryValue(const wchar_t* name, DWORD* type = nullptr) {
  DWORD size = 0, t = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kMonitorKey, name, RRF_RT_ANY, &t, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  std::vector<uint8_t> data(size);
  RegGetValueW(HKEY_CURRENT_USER, kMonitorKey, name, RRF_RT_ANY, &t, data.data(), &size);
  data.resize(size);
  if (type) *type = t;
  return data;
}

std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  std::array<wchar_t, 256> value{};
  GetPrivateProfileStringW(section, key, L"<missing>", value.data(), 256, file.c_str());
  return value.data();
}

void PutIni(const std::wstring& file, const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  ASSERT_TRUE(WritePrivateProfileStringW(section, key, value, file.c_str())) << fs::path(file).string();
}

class MonitorHandoffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kMonitorKey);
    std::error_code ec;
    fs::remove(BesideTest(kMonitorExe), ec);
    fs::remove(WindowsDirectory() + L"\\qvstmon.ini", ec);
    fs::remove_all(Folder(CSIDL_APPDATA) + L"\\Quorvel", ec);
    fs::remove(modelIni, ec);

    auto state = std::make_shared<core::FakePrinterState>();
    state->info = core::PrinterInfo{u"Office", u"QVX Model 01", u"winprint", {}};
    state->driver = core::DriverInfo{u"QVX Model 01", u"C:\\drv\\QVXUI.DLL",
                                     u"C:\\drv\\QVXH7TEST.PPD", u"C:\\drv\\QVXUI.DLL"};
    printer = std::make_unique<core::FakePrinter>(state);

    std::memset(&record, 0, sizeof record);
    record.privByte824 = 1;
    record.pagesPerSheet = 1;
    record.dm.dmColor = 2;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove(BesideTest(kMonitorExe), ec);
    fs::remove(modelIni, ec);
  }
  void InstallMonitor() {
    fs::copy_file(qvx::test::BinaryPath("tests/events/monitor/QVSTMON.EXE"), BesideTest(kMonitorExe),
                  fs::copy_options::overwrite_existing);
  }

  const std::wstring modelIni = SystemDirectoryPath() + L"\\QVXH7TEST.INI";
  std::unique_ptr<core::FakePrinter> printer;
  SettingsRecord record;
};

TEST_F(MonitorHandoffTest, WithoutMonitorTheIniIsInTheWindowsDirectory) {
  EXPECT_FALSE(MonitorIsCurrent());
  EXPECT_EQ(MonitorIniPath(), L"qvstmon.ini");

  RecordMonitorFolder();
  const std::wstring folder = Folder(CSIDL_APPDATA) + L"\\Quorvel\\PrtDrv";
  EXPECT_TRUE(fs::is_directory(folder));
  DWORD type = 0;
  auto path = RegistryValue(L"Path", &type);
  ASSERT_TRUE(path);
  EXPECT_EQ(type, DWORD{REG_BINARY});
  const std::string narrow = fs::path(folder).string();
  EXPECT_EQ(std::string(path->begin(), path->end()), narrow + '\0');
  EXPECT_FALSE(RegistryValue(L"QvStMon"));
  EXPECT_EQ(MonitorIniPath(), L"qvstmon.ini");

  // The bare name lands in the Windows directory.
  PutIni(L"qvstmon.ini", L"QVSTMON", L"Printer", L"Office");
  PutIni(L"qvstmon.ini", L"Office", L"Bits", L"0x100");
  PutIni(L"qvstmon.ini", L"Office", L"10", L"9");
  ReadMonitorSettings(*printer, record);
  EXPECT_EQ(record.pagesPerSheet, 9);
  const std::wstring windowsIni = WindowsDirectory() + L"\\qvstmon.ini";
  EXPECT_EQ(IniValue(windowsIni, L"Office", L"Lang"), L"ENG");
  EXPECT_EQ(IniValue(windowsIni, L"Office", L"Model"), L"QVXH7TEST.INI");
}

TEST_F(MonitorHandoffTest, CurrentMonitorIsRecordedAndMovesTheIni) {
  InstallMonitor();
  // Nothing recorded yet: the version resource decides.
  EXPECT_TRUE(MonitorIsCurrent());

  RecordMonitorFolder();
  DWORD type = 0;
  auto version = RegistryValue(L"QvStMon", &type);
  ASSERT_TRUE(version);
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(version->data())), L"3.2.0.0");
  EXPECT_EQ(MonitorIniPath(), Folder(CSIDL_APPDATA) + L"\\Quorvel\\PrtDrv\\qvstmon.ini");

  // What is recorded wins over the file.
  const wchar_t old[] = L"3.0";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kMonitorKey, L"QvStMon", REG_SZ, old, sizeof old),
            ERROR_SUCCESS);
  EXPECT_FALSE(MonitorIsCurrent());
  EXPECT_EQ(MonitorIniPath(), L"qvstmon.ini");
}

TEST_F(MonitorHandoffTest, SettingsTravelThroughThePerUserIni) {
  InstallMonitor();
  RecordMonitorFolder();
  const std::wstring ini = MonitorIniPath();
  PutIni(ini, L"QVSTMON", L"Printer", L"Other");
  PutIni(ini, L"Office", L"10", L"4");
  PutIni(ini, L"Office", L"3", L"4097");
  PutIni(modelIni, L"ENG", L"Set", L"10,3");

  ReadMonitorSettings(*printer, record);
  EXPECT_EQ(record.pagesPerSheet, 4);
  EXPECT_EQ(record.dm.dmColor, 1);
  EXPECT_EQ(IniValue(ini, L"QVSTMON", L"Printer"), L"Office");
  EXPECT_EQ(GetMonitorBits(*printer), 0x104u);

  record.pagesPerSheet = 2;
  record.dm.dmColor = 2;
  WriteMonitorSettings(*printer, record);
  EXPECT_EQ(IniValue(ini, L"Office", L"Set"), L"10,3");
  EXPECT_EQ(IniValue(ini, L"Office", L"Bits"), L"0x104");
  EXPECT_EQ(IniValue(ini, L"Office", L"10"), L"2");
  EXPECT_EQ(IniValue(ini, L"Office", L"3"), L"4098");

  SetMonitorBits(*printer, 0x5);
  EXPECT_EQ(IniValue(ini, L"Office", L"Set"), L"1,3");
  EXPECT_EQ(IniValue(ini, L"Office", L"Bits"), L"0x5");
  EXPECT_EQ(IniValue(ini, L"Office", L"New"), L"1");
  EXPECT_EQ(GetMonitorBits(*printer), 0x4u);

  // Switched off in the record: the INI is left alone.
  record.privByte824 = 0;
  record.pagesPerSheet = 16;
  WriteMonitorSettings(*printer, record);
  EXPECT_EQ(IniValue(ini, L"Office", L"10"), L"2");
}

}  // namespace
}  // namespace qvx::events::win
