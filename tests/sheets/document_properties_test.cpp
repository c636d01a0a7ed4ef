// The document property entry points with a real printer of this driver in
// the Wine prefix: through the platform's own callers (AddPrinterW asks for
// the printer's default record, DocumentPropertiesW for merged records) and
// called directly for every mode.
#include <windows.h>
#include <winspool.h>

#include <compstui.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "driver_decls.h"
#include "settings_record.h"
#include "test_paths.h"
#include "wine_printer_fixture.h"

extern "C" {
LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM param);
LONG WINAPI DrvDocumentProperties(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW, DWORD);
LONG WINAPI DrvAdvancedDocumentProperties(HWND, HANDLE, LPWSTR, PDEVMODEW, PDEVMODEW);
}

namespace qvx {
namespace {

using core::win::DocumentPropertyHeader;

constexpr uint8_t kUntouched = 0xCD;

// An output buffer larger than any record, so writes past a record's end show.
struct OutBuffer {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kRecordSize + 256, kUntouched);
  DEVMODEW* dm() { return reinterpret_cast<DEVMODEW*>(bytes.data()); }
  const SettingsRecord& record() const { return *reinterpret_cast<const SettingsRecord*>(bytes.data()); }
  bool Untouched(size_t from = 0) const {
    for (size_t i = from; i < bytes.size(); ++i)
      if (bytes[i] != kUntouched) return false;
    return true;
  }
};

// A public part with the given header and nothing else set.
std::vector<uint8_t> PublicRecord(uint16_t size, uint16_t driverVersion, uint16_t extra, uint8_t fill = 0) {
  std::vector<uint8_t> bytes(size_t{size} + extra, fill);
  std::memset(bytes.data(), 0, size);
  DevModeW dm{};
  std::memcpy(&dm, bytes.data(), std::min<size_t>(size, sizeof dm));
  dm.dmSpecVersion = size == kPublicSize ? kSpecVersion : 0x0400;
  dm.dmDriverVersion = driverVersion;
  dm.dmSize = size;
  dm.dmDriverExtra = extra;
  std::memcpy(bytes.data(), &dm, std::min<size_t>(size, sizeof dm));
  return bytes;
}

DevModeW& Public(std::vector<uint8_t>& bytes) { return *reinterpret_cast<DevModeW*>(bytes.data()); }

class DocumentPropertiesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    try {
      const std::wstring tag = test::ExecutableTag();
      driver = new test::WineDriver(L"Quorvel Model 01 " + tag,
                                    test::SourcePath("examples/ppd/qvx01m.ppd").make_preferred());
      printer = new test::WinePrinter(L"QVX " + tag, *driver);
    } catch (const std::exception& e) {
      setupError = e.what();
    }
  }
  static void TearDownTestSuite() {
    delete printer;
    delete driver;
    printer = nullptr;
    driver = nullptr;
  }
  void SetUp() override { ASSERT_TRUE(printer != nullptr) << setupError; }
  static HANDLE handle() { return printer->Handle(); }
  static LPWSTR name() { return const_cast<LPWSTR>(printer->Name().c_str()); }

  static inline test::WineDriver* driver = nullptr;
  static inline test::WinePrinter* printer = nullptr;
  static inline std::string setupError;
};

std::vector<uint8_t> StoredDefaultRecord(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  std::vector<uint8_t> buffer(needed);
  if (needed == 0 || !GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  if (info->pDevMode == nullptr) return {};
  const auto* start = reinterpret_cast<const uint8_t*>(info->pDevMode);
  return std::vector<uint8_t>(start, start + info->pDevMode->dmSize + info->pDevMode->dmDriverExtra);
}

TEST_F(DocumentPropertiesTest, AddPrinterStoresOurDefaultRecord) {
  const std::vector<uint8_t> stored = StoredDefaultRecord(handle());
  ASSERT_EQ(stored.size(), kRecordSize);
  ASSERT_TRUE(IsOwnRecord(stored.data(), stored.size()));
  const auto& record = *reinterpret_cast<const SettingsRecord*>(stored.data());
  EXPECT_EQ(record.endMarker, kEndMarker);
  EXPECT_EQ(record.dm.dmFields & dm::kDefaultFields, dm::kDefaultFields);
  EXPECT_TRUE(record.dm.dmPaperSize == 9 || record.dm.dmPaperSize == 1);
}

TEST_F(DocumentPropertiesTest, DocumentPropertiesWReturnsMergedRecords) {
  EXPECT_EQ(DocumentPropertiesW(nullptr, handle(), name(), nullptr, nullptr, 0), LONG{kRecordSize});

  OutBuffer plain;
  ASSERT_EQ(DocumentPropertiesW(nullptr, handle(), name(), plain.dm(), nullptr, DM_OUT_BUFFER), IDOK);
  ASSERT_TRUE(IsOwnRecord(plain.bytes.data(), kRecordSize));
  EXPECT_TRUE(plain.Untouched(kRecordSize));

  // Another driver's record: its public choices are honoured, its private
  // bytes are not taken.
  std::vector<uint8_t> foreign = PublicRecord(kPublicSize, 0x0100, 64, 0xAB);
  Public(foreign).dmFields = dm::kOrientation | dm::kCopies | dm::kPaperSize;
  Public(foreign).dmOrientation = 2;
  Public(foreign).dmCopies = 5;
  Public(foreign).dmPaperSize = 1;
  OutBuffer merged;
  ASSERT_EQ(DocumentPropertiesW(nullptr, handle(), name(), merged.dm(),
                                reinterpret_cast<DEVMODEW*>(foreign.data()), DM_IN_BUFFER | DM_OUT_BUFFER),
            IDOK);
  const SettingsRecord& r = merged.record();
  EXPECT_EQ(r.dm.dmOrientation, 2);
  EXPECT_EQ(r.dm.dmCopies, 5);
  EXPECT_EQ(r.dm.dmPaperSize, 1);
  EXPECT_EQ(r.dm.dmSize, kPublicSize);
  // The caller's record had the smaller private part: the output has its
  // size and version, and our private bytes up to there.
  EXPECT_EQ(r.dm.dmDriverExtra, 64);
  EXPECT_EQ(r.dm.dmDriverVersion, 0x0100);
  EXPECT_EQ(r.signature, kSignature);
  EXPECT_EQ(r.privHeaderWord, plain.record().privHeaderWord);
  EXPECT_TRUE(merged.Untouched(kPublicSize + 64));
}

TEST_F(DocumentPropertiesTest, DocumentPropertiesReturnValues) {
  struct Case {
    const char* name;
    DWORD mode;
    bool output;
    LONG result;
    bool written;
  };
  const Case cases[] = {
      {"size query", 0, true, LONG{kRecordSize}, false},
      {"no output record", DM_COPY, false, LONG{kRecordSize}, false},
      {"copy", DM_COPY, true, IDOK, true},
      {"update and copy", DM_UPDATE | DM_COPY, true, IDOK, true},
      {"modify only", DM_MODIFY, true, IDOK, false},
      {"prompt", DM_PROMPT | DM_COPY, true, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutBuffer out;
    EXPECT_EQ(DrvDocumentProperties(nullptr, handle(), name(), c.output ? out.dm() : nullptr, nullptr, c.mode),
              c.result);
    if (c.written) {
      EXPECT_TRUE(IsOwnRecord(out.bytes.data(), kRecordSize));
      EXPECT_TRUE(out.Untouched(kRecordSize));
    } else {
      EXPECT_TRUE(out.Untouched());
    }
  }

  OutBuffer out;
  EXPECT_EQ(DrvAdvancedDocumentProperties(nullptr, handle(), name(), nullptr, nullptr), LONG{kRecordSize});
  // The advanced call always prompts; without the sheet it reports failure.
  EXPECT_EQ(DrvAdvancedDocumentProperties(nullptr, handle(), name(), out.dm(), nullptr), 0);
  EXPECT_TRUE(out.Untouched());
}

TEST_F(DocumentPropertiesTest, PropertySheetsWithoutSheet) {
  OutBuffer out;
  DocumentPropertyHeader header{};
  header.cbSize = sizeof header;
  header.hPrinter = handle();
  header.pdmOut = out.dm();
  header.cbOut = 100;  // what the caller says is ignored: the record's size is the answer
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), LONG{kRecordSize});
  EXPECT_EQ(header.cbOut, DWORD{kRecordSize});
  EXPECT_TRUE(out.Untouched());

  header.fMode = DM_COPY;
  header.cbOut = 100;
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1);
  EXPECT_TRUE(IsOwnRecord(out.bytes.data(), kRecordSize));

  // Without a handle the printer is opened by name; an unknown name fails.
  OutBuffer byName;
  header.hPrinter = nullptr;
  header.pszPrinterName = name();
  header.pdmOut = byName.dm();
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1);
  EXPECT_TRUE(IsOwnRecord(byName.bytes.data(), kRecordSize));
  OutBuffer unknown;
  header.pszPrinterName = const_cast<LPWSTR>(L"No Such Printer h7");
  header.pdmOut = unknown.dm();
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), -1);
  EXPECT_TRUE(unknown.Untouched());

  header.pdmOut = nullptr;
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), LONG{kRecordSize});
  EXPECT_EQ(DrvDocumentPropertySheets(nullptr, 0), -1);

  // The sheet protocol is not available without the pages.
  PROPSHEETUI_INFO info{};
  info.cbSize = sizeof info;
  info.Reason = PROPSHEETUI_REASON_INIT;
  info.lParamInit = reinterpret_cast<LPARAM>(&header);
  EXPECT_EQ(DrvDocumentPropertySheets(&info, 0), -1);
}

TEST_F(DocumentPropertiesTest, IncomingRecordsOfOtherSizes) {
  // Our own record comes back with its private choices.
  OutBuffer own;
  ASSERT_EQ(DrvDocumentProperties(nullptr, handle(), name(), own.dm(), nullptr, DM_COPY), IDOK);
  std::vector<uint8_t> input(own.bytes.begin(), own.bytes.begin() + kRecordSize);
  reinterpret_cast<SettingsRecord*>(input.data())->qualityCode = -1;
  OutBuffer back;
  ASSERT_EQ(DrvDocumentProperties(nullptr, handle(), name(), back.dm(),
                                  reinterpret_cast<DEVMODEW*>(input.data()), DM_COPY),
            IDOK);
  EXPECT_EQ(back.record().qualityCode, -1);
  EXPECT_TRUE(IsOwnRecord(back.bytes.data(), kRecordSize));

  // A shorter public part without private bytes: the caller gets its format.
  std::vector<uint8_t> older = PublicRecord(212, 0x0001, 0);
  Public(older).dmFields = dm::kOrientation;
  Public(older).dmOrientation = 2;
  OutBuffer shortOut;
  ASSERT_EQ(DrvDocumentProperties(nullptr, handle(), name(), shortOut.dm(),
                                  reinterpret_cast<DEVMODEW*>(older.data()), DM_COPY),
            IDOK);
  EXPECT_EQ(shortOut.record().dm.dmSize, 212);
  EXPECT_EQ(shortOut.record().dm.dmDriverExtra, 0);
  EXPECT_EQ(shortOut.record().dm.dmOrientation, 2);
  EXPECT_TRUE(shortOut.Untouched(212));
}

TEST_F(DocumentPropertiesTest, StartedDocumentsAreAnnouncedByAtom) {
  // Through the copy of the library that the spooler installed.
  test::DriverLibrary library(*driver);
  using EventFn = int WINAPI(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);
  auto* event = library.Export<EventFn>("DrvDocumentEvent");
  ASSERT_NE(event, nullptr);
  for (const char* exported : {"DrvDocumentPropertySheets", "DrvDocumentProperties", "DrvAdvancedDocumentProperties"})
    EXPECT_NE(GetProcAddress(library.Module(), exported), nullptr) << exported;

  const std::wstring atom = L"QVSTSWIN-POPUPONPRINT " + printer->Name();
  ASSERT_EQ(GlobalFindAtomW(atom.c_str()), 0);
  const HDC dc = reinterpret_cast<HDC>(0x5678);
  EXPECT_EQ(event(handle(), dc, 5 /* STARTDOC */, 0, nullptr, 0, nullptr), 1);
  EXPECT_EQ(event(handle(), dc, 5, 0, nullptr, 0, nullptr), 1);
  // The same text twice: one atom with two references.
  const ATOM found = GlobalFindAtomW(atom.c_str());
  ASSERT_NE(found, 0);
  GlobalDeleteAtom(found);
  EXPECT_EQ(GlobalFindAtomW(atom.c_str()), found);
  GlobalDeleteAtom(found);
  EXPECT_EQ(GlobalFindAtomW(atom.c_str()), 0);
}

}  // namespace
}  // namespace qvx
