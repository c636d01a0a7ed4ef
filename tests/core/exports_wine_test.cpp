// QVXUI.DLL's spooler exports against real printers of the Wine prefix:
// the driver is installed with its description, and the exports are called
// through GetProcAddress as the spooler calls them (and, where Wine's
// winspool calls the driver itself, through the system API).
#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "driver_decls.h"
#include "settings_record.h"
#include "test_paths.h"
#include "wine_printer_fixture.h"

namespace qvx::test {
namespace {

using DeviceCapabilitiesFn = DWORD WINAPI(HANDLE, PWSTR, WORD, VOID*, DEVMODEW*);
using QueryPrintFn = BOOL WINAPI(core::win::DevQueryPrintInfo*);
using ConvertFn = BOOL WINAPI(LPWSTR, DEVMODEW*, DEVMODEW*, LONG*, DWORD);

constexpr DWORD kError = 0xFFFFFFFF;
constexpr int kPaperOptions = 27;  // "Paper" options of the example description

// One driver and printer for the whole executable.
class InstalledDriver : public ::testing::Environment {
 public:
  void SetUp() override {
    driver = std::make_unique<WineDriver>(L"Quorvel Model 07 " + ExecutableTag(),
                                          SourcePath("examples/ppd/qvx07c.ppd"));
    printer = std::make_unique<WinePrinter>(L"QVX exports " + ExecutableTag(), *driver);
    library = std::make_unique<DriverLibrary>(*driver);
  }
  void TearDown() override {
    library.reset();
    printer.reset();
    driver.reset();
  }

  std::unique_ptr<WineDriver> driver;
  std::unique_ptr<WinePrinter> printer;
  std::unique_ptr<DriverLibrary> library;
};

InstalledDriver* const g_installed =
    static_cast<InstalledDriver*>(::testing::AddGlobalTestEnvironment(new InstalledDriver));

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver_ = g_installed->driver.get();
    printer_ = g_installed->printer.get();
    library_ = g_installed->library.get();
    ASSERT_NE(library_, nullptr);
  }

  HANDLE Printer() const { return printer_->Handle(); }
  std::wstring PrinterName() const { return printer_->Name(); }

  DWORD Capability(WORD index, void* output = nullptr, DEVMODEW* record = nullptr) {
    auto* call = library_->Export<DeviceCapabilitiesFn>("DrvDeviceCapabilities");
    std::wstring name = PrinterName();
    return call(Printer(), name.data(), index, output, record);
  }

  // The driver's default record, as the spooler gets it.
  std::unique_ptr<SettingsRecord> DriverDefault() {
    auto record = std::make_unique<SettingsRecord>();
    LONG size = sizeof(SettingsRecord);
    std::wstring name = PrinterName();
    auto* convert = library_->Export<ConvertFn>("DrvConvertDevMode");
    EXPECT_TRUE(convert(name.data(), nullptr, reinterpret_cast<DEVMODEW*>(record.get()), &size, 4));
    return record;
  }

  std::wstring OwnString(UINT id) {
    wchar_t buffer[512] = {};
    EXPECT_GT(LoadStringW(library_->Module(), id, buffer, 512), 0) << "string " << id;
    return buffer;
  }

  WineDriver* driver_ = nullptr;
  WinePrinter* printer_ = nullptr;
  DriverLibrary* library_ = nullptr;
};

TEST_F(ExportsTest, ExportsHaveThePlatformNames) {
  for (const char* name : {"DrvConvertDevMode", "DrvDeviceCapabilities", "DevQueryPrintEx",
                           "DrvDocumentPropertySheets"}) {
    EXPECT_NE(GetProcAddress(library_->Module(), name), nullptr) << name;
  }
}

// Loading the library pins it for the life of the process and loads the
// language library from the same folder.
TEST_F(ExportsTest, LibraryStaysLoadedWithItsLanguageLibrary) {
  const std::wstring path = driver_->InstalledFile(L"QVXUI.DLL").wstring();
  HMODULE again = LoadLibraryW(path.c_str());
  ASSERT_EQ(again, library_->Module());
  FreeLibrary(again);
  FreeLibrary(again);  // one more than this test took
  EXPECT_EQ(GetModuleHandleW(path.c_str()), library_->Module());
  LoadLibraryW(path.c_str());  // give the fixture its reference back
  EXPECT_NE(GetModuleHandleW(driver_->InstalledFile(L"QVXLANG.DLL").c_str()), nullptr);
}

TEST_F(ExportsTest, FixedCapabilities) {
  struct Case {
    WORD index;
    DWORD expected;
  };
  const Case cases[] = {
      {8, 220},          {9, 2156},      {10, 0x0401},      {11, 0x0503},        {18, 999},
      {4, 0x04F60379},   {5, 0x0DE4086F}, {7, 1},           {30, 0},             {32, 1},
      {17, 270},         {19, 1},         {13, kError},     {99, kError},
      // The defaults' fields, copies and collation (the printer's processor
      // handles them) and N-up (set by the merge for "winprint").
      {1, 0x00010A0F | 0x8100 | 0x40},
  };
  for (const Case& c : cases) EXPECT_EQ(Capability(c.index), c.expected) << "index " << c.index;
}

TEST_F(ExportsTest, PaperCodesSizesAndNames) {
  ASSERT_EQ(Capability(2), static_cast<DWORD>(kPaperOptions));
  std::vector<WORD> codes(kPaperOptions);
  ASSERT_EQ(Capability(2, codes.data()), static_cast<DWORD>(kPaperOptions));
  EXPECT_EQ(codes[0], 9);
  EXPECT_EQ(codes[1], 1);
  EXPECT_EQ(codes.back(), 256);

  // A4 in 0.1 mm, truncated from 595 x 842 points; the user-defined paper
  // reports the record's custom size.
  auto record = DriverDefault();
  record->customWidth = 1500;
  record->customHeight = 2500;
  std::vector<POINT> sizes(kPaperOptions);
  ASSERT_EQ(Capability(3, sizes.data(), reinterpret_cast<DEVMODEW*>(record.get())),
            static_cast<DWORD>(kPaperOptions));
  EXPECT_EQ(sizes[0].x, 2099);
  EXPECT_EQ(sizes[0].y, 2970);
  EXPECT_EQ(sizes.back().x, 1500);
  EXPECT_EQ(sizes.back().y, 2500);

  std::vector<wchar_t> names(kPaperOptions * 64, L'?');
  ASSERT_EQ(Capability(16, names.data()), static_cast<DWORD>(kPaperOptions));
  // Every slot is written (zero-filled after the name); A4 is named by
  // string 1200 of the language library.
  for (int i = 0; i < kPaperOptions; ++i) EXPECT_EQ(names[i * 64 + 63], L'\0') << i;
  HMODULE language = LoadLibraryExW(driver_->InstalledFile(L"QVXLANG.DLL").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(language, nullptr);
  wchar_t a4[65] = {};
  ASSERT_GT(LoadStringW(language, 1200, a4, 65), 0);
  EXPECT_EQ(std::wstring(names.data()), a4);
  FreeLibrary(language);
}

TEST_F(ExportsTest, BinsAndFileDependencies) {
  std::vector<WORD> bins(4);
  ASSERT_EQ(Capability(6, bins.data()), 4u);
  EXPECT_EQ(bins, (std::vector<WORD>{7, 1, 2, 4}));

  // Names come from the language library beside the installed driver:
  // "Feeder" and "Manual" 1271, "Tray1" 1272, "Tray2" 1273.
  std::vector<wchar_t> names(4 * 24, L'?');
  ASSERT_EQ(Capability(12, names.data()), 4u);
  HMODULE language = LoadLibraryExW(driver_->InstalledFile(L"QVXLANG.DLL").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(language, nullptr) << "QVXLANG.DLL is installed with the driver";
  const UINT ids[] = {1271, 1272, 1273, 1271};
  for (int i = 0; i < 4; ++i) {
    wchar_t expected[25] = {};
    ASSERT_GT(LoadStringW(language, ids[i], expected, 25), 0);
    EXPECT_EQ(std::wstring(names.data() + i * 24, wcsnlen(names.data() + i * 24, 24)), expected) << i;
  }
  FreeLibrary(language);

  wchar_t dependencies[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(Capability(14, dependencies), 0u);
  EXPECT_EQ(dependencies[0], L'\0');
}

// Applications reach the export through the system's DeviceCapabilities,
// which under Wine passes no printer handle.
TEST_F(ExportsTest, SystemDeviceCapabilitiesReachesTheDriver) {
  std::wstring name = PrinterName();
  EXPECT_EQ(DeviceCapabilitiesW(name.c_str(), L"FILE:", DC_PAPERS, nullptr, nullptr), kPaperOptions);
  EXPECT_EQ(DeviceCapabilitiesW(name.c_str(), L"FILE:", DC_EXTRA, nullptr, nullptr), 2156);
}

class PrintQueryTest : public ExportsTest {
 protected:
  BOOL Query(DEVMODEW* record, std::wstring& message, DWORD bufferChars = 256, DWORD* needed = nullptr) {
    auto* query = library_->Export<QueryPrintFn>("DevQueryPrintEx");
    std::vector<wchar_t> buffer(bufferChars + 1, L'#');
    core::win::DevQueryPrintInfo info{};
    info.cbSize = sizeof info;
    info.Level = 1;
    info.hPrinter = Printer();
    info.pDevMode = record;
    info.pszErrorStr = buffer.data();
    info.cchErrorStr = bufferChars;
    const BOOL result = query(&info);
    message = buffer.data();
    if (needed != nullptr) *needed = info.cchNeeded;
    EXPECT_EQ(buffer[bufferChars], L'#') << "wrote past the buffer";
    return result;
  }
};

TEST_F(PrintQueryTest, AcceptsTheDefaultsAndAJobWithoutSettings) {
  std::wstring message;
  EXPECT_TRUE(Query(nullptr, message));
  auto record = DriverDefault();
  EXPECT_TRUE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message)) << message;
}

TEST_F(PrintQueryTest, RefusesUnknownPaperWithItsMessage) {
  auto record = DriverDefault();
  record->dm.dmFields &= ~dm::kPaperSize;
  std::wstring message;
  DWORD needed = 0;
  EXPECT_FALSE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message, 256, &needed));
  EXPECT_EQ(message, OwnString(1049));
  EXPECT_EQ(needed, message.size() + 1);

  record->dm.dmFields |= dm::kPaperSize;
  record->dm.dmPaperSize = 12345;
  EXPECT_FALSE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message));
  EXPECT_EQ(message, OwnString(1049));

  // A short buffer gets the start of the message, terminated, and the full size.
  EXPECT_FALSE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message, 8, &needed));
  EXPECT_EQ(message, OwnString(1049).substr(0, 7));
  EXPECT_EQ(needed, OwnString(1049).size() + 1);
}

TEST_F(PrintQueryTest, CustomSizeAndResolution) {
  auto record = DriverDefault();
  record->dm.dmPaperSize = 256;
  std::wstring message;
  EXPECT_FALSE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message));
  EXPECT_EQ(message, OwnString(1058));
}

TEST_F(PrintQueryTest, FormNotInTheTrayTable) {
  // Tray table: Letter in the front cassette.
  const std::u16string entry[] = {u"Front Cassette", u"Letter", u"Letter"};
  std::vector<uint8_t> table(2);
  for (const auto& text : entry) {
    for (char16_t c : text) table.insert(table.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
    table.insert(table.end(), {0, 0});
  }
  table.insert(table.end(), {0, 0, 0, 0});  // flags, end marker
  table[0] = static_cast<uint8_t>(table.size());
  printer_->SetDword(L"TrayFormSize", static_cast<DWORD>(table.size()));
  printer_->SetBinary(L"TrayFormTable", table.data(), static_cast<DWORD>(table.size()));

  auto record = DriverDefault();
  record->dm.dmPaperSize = 9;  // A4
  std::wstring message;
  EXPECT_FALSE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message));
  std::wstring expected = OwnString(1057);
  expected.replace(expected.find(L"%s"), 2, L"A4");
  expected.replace(expected.find(L"%s"), 2, L"");
  EXPECT_EQ(message, expected);

  record->dm.dmPaperSize = 1;  // Letter is loaded
  EXPECT_TRUE(Query(reinterpret_cast<DEVMODEW*>(record.get()), message)) << message;

  printer_->SetDword(L"TrayFormSize", 0);
}

class ConvertTest : public ExportsTest {
 protected:
  BOOL Convert(DEVMODEW* in, void* out, LONG* size, DWORD mode) {
    std::wstring name = PrinterName();
    return library_->Export<ConvertFn>("DrvConvertDevMode")(name.data(), in, static_cast<DEVMODEW*>(out), size,
                                                           mode);
  }
};

TEST_F(ConvertTest, DriverDefaultAndItsSizeQuery) {
  std::vector<uint8_t> out(kRecordSize);
  LONG size = kRecordSize - 1;
  SetLastError(0);
  EXPECT_FALSE(Convert(nullptr, out.data(), &size, 4));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, static_cast<LONG>(kRecordSize));

  ASSERT_TRUE(Convert(nullptr, out.data(), &size, 4));
  EXPECT_TRUE(IsOwnRecord(out.data(), out.size()));
}

// The user's country decides between A4 and Letter.
TEST_F(ConvertTest, DefaultsFollowTheCountry) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\International", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  wchar_t saved[16] = {};
  DWORD savedSize = sizeof saved;
  const bool hadValue = RegQueryValueExW(key, L"iCountry", nullptr, nullptr, reinterpret_cast<BYTE*>(saved),
                                         &savedSize) == ERROR_SUCCESS;
  auto setCountry = [&](const wchar_t* code) {
    RegSetValueExW(key, L"iCountry", 0, REG_SZ, reinterpret_cast<const BYTE*>(code),
                   static_cast<DWORD>((wcslen(code) + 1) * sizeof(wchar_t)));
  };
  setCountry(L"49");
  auto metric = DriverDefault();
  setCountry(L"1");
  auto letter = DriverDefault();
  if (hadValue) {
    RegSetValueExW(key, L"iCountry", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved), savedSize);
  } else {
    RegDeleteValueW(key, L"iCountry");
  }
  RegCloseKey(key);

  EXPECT_EQ(metric->dm.dmPaperSize, 9);
  EXPECT_EQ(metric->customWidth, 2100);
  EXPECT_EQ(metric->customUnitInch, 0);
  EXPECT_EQ(letter->dm.dmPaperSize, 1);
  EXPECT_EQ(letter->customWidth, 2159);
  EXPECT_EQ(letter->customUnitInch, 1);
}

TEST_F(ConvertTest, OldFormatAndCallerFormat) {
  auto ours = DriverDefault();
  std::vector<uint8_t> old(300, 0xCC);
  LONG size = 299;
  EXPECT_FALSE(Convert(reinterpret_cast<DEVMODEW*>(ours.get()), old.data(), &size, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, 300);
  ASSERT_TRUE(Convert(reinterpret_cast<DEVMODEW*>(ours.get()), old.data(), &size, 2));
  EXPECT_EQ(size, 300);
  const auto* header = reinterpret_cast<const DevModeW*>(old.data());
  EXPECT_EQ(header->dmSize, 188);
  EXPECT_EQ(header->dmDriverExtra, 112);
  EXPECT_EQ(header->dmSpecVersion, 0x0320);
  EXPECT_EQ(header->dmPaperSize, ours->dm.dmPaperSize);
  EXPECT_EQ(std::memcmp(old.data() + 188, reinterpret_cast<uint8_t*>(ours.get()) + 220, 112), 0);

  // Mode 1: into a caller's bare public record.
  std::vector<uint8_t> bare(220);
  auto* bareHeader = reinterpret_cast<DevModeW*>(bare.data());
  bareHeader->dmSpecVersion = 0x0401;
  bareHeader->dmSize = 220;
  size = 220;
  ASSERT_TRUE(Convert(reinterpret_cast<DEVMODEW*>(ours.get()), bare.data(), &size, 1));
  EXPECT_EQ(size, 220);
  EXPECT_EQ(bareHeader->dmPaperSize, ours->dm.dmPaperSize);
}

TEST_F(ConvertTest, OtherModesAndBadParameters) {
  auto ours = DriverDefault();
  std::vector<uint8_t> out(kRecordSize);
  LONG size = 1234;
  SetLastError(0xBEEF);
  EXPECT_FALSE(Convert(reinterpret_cast<DEVMODEW*>(ours.get()), out.data(), &size, 3));
  EXPECT_EQ(size, 1234);
  EXPECT_EQ(GetLastError(), 0xBEEFu);

  EXPECT_FALSE(Convert(reinterpret_cast<DEVMODEW*>(ours.get()), out.data(), nullptr, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  size = 100;  // smaller than the output record says it is
  reinterpret_cast<DevModeW*>(out.data())->dmSize = 220;
  EXPECT_FALSE(Convert(reinterpret_cast<DEVMODEW*>(ours.get()), out.data(), &size, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Records from outside, merged through the system's DocumentProperties,
// which asks the driver's DrvDocumentPropertySheets.
class MergeTest : public ExportsTest {
 protected:
  std::unique_ptr<SettingsRecord> Merge(const void* in) {
    std::wstring name = PrinterName();
    const LONG size = DocumentPropertiesW(nullptr, Printer(), name.data(), nullptr, nullptr, 0);
    EXPECT_EQ(size, static_cast<LONG>(kRecordSize));
    auto out = std::make_unique<SettingsRecord>();
    const LONG result = DocumentPropertiesW(nullptr, Printer(), name.data(), reinterpret_cast<DEVMODEW*>(out.get()),
                                            static_cast<DEVMODEW*>(const_cast<void*>(in)),
                                            DM_IN_BUFFER | DM_OUT_BUFFER);
    EXPECT_EQ(result, IDOK);
    return out;
  }
};

TEST_F(MergeTest, ForeignRecordsKeepTheDefaultPrivatePart) {
  const auto defaults = DriverDefault();
  struct Case {
    const char* what;
    uint16_t driverVersion;
    uint16_t driverExtra;
  };
  const Case cases[] = {
      {"bare public record", 0, 0},
      {"older driver", 0x0400, 2156},
      {"ticket provider", 0x0507, 2156},
  };
  for (const Case& c : cases) {
    auto in = std::make_unique<SettingsRecord>(*defaults);
    in->dm.dmDriverVersion = c.driverVersion;
    in->dm.dmDriverExtra = c.driverExtra;
    in->dm.dmPaperSize = 1;
    in->dm.dmCopies = 1000;
    in->dm.dmFields = dm::kPaperSize | dm::kCopies | dm::kOrientation;
    in->dm.dmOrientation = 2;
    in->mediaType = 3;
    const auto out = Merge(in.get());
    // The caller gets the record in its own format: a bare public record
    // stays bare; records with a private part get ours.
    if (c.driverExtra == 0) {
      EXPECT_EQ(out->dm.dmDriverExtra, 0) << c.what;
    } else {
      EXPECT_TRUE(IsOwnRecord(out.get(), sizeof *out)) << c.what;
      EXPECT_EQ(out->mediaType, defaults->mediaType) << c.what;
    }
    EXPECT_EQ(out->dm.dmPaperSize, 1) << c.what;
    EXPECT_EQ(out->dm.dmOrientation, 2) << c.what;
    EXPECT_EQ(out->dm.dmCopies, 1) << c.what;
  }

  // Our own record keeps its private part.
  auto own = std::make_unique<SettingsRecord>(*defaults);
  own->mediaType = 3;
  EXPECT_EQ(Merge(own.get())->mediaType, 3);
}

}  // namespace
}  // namespace qvx::test
