#include "monitor_handoff.h"

#include <shlobj.h>

#include <array>
#include <optional>
#include <vector>

#include "library_state.h"
#include "monitor_settings.h"
#include "win_platform.h"

namespace qvx::events::win {
namespace {

using core::win::FromWide;
using core::win::ToWide;

constexpr uint32_t kLanguageNameString = 8109;
constexpr char16_t kDefaultLanguage[] = u"ENG";
constexpr char16_t kOwnPrintProcessor[] = u"QVPROC PRINT";

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

// An INI file through the profile functions. A sentinel default tells a
// missing key from an empty one.
class ProfileIni final : public IniFile {
 public:
  explicit ProfileIni(std::wstring path) : path_(std::move(path)) {}

  std::optional<std::u16string> Read(std::u16string_view section,
                                     std::u16string_view key) const override {
    static constexpr wchar_t kMissing[] = L"\x1F\x1E";
    std::array<wchar_t, 1024> buffer{};
    const DWORD n = GetPrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), kMissing,
                                             buffer.data(), static_cast<DWORD>(buffer.size()),
                                             path_.c_str());
    const std::wstring_view text(buffer.data(), n);
    if (text == kMissing) return std::nullopt;
    return FromWide(text);
  }
  void Write(std::u16string_view section, std::u16string_view key,
             std::u16string_view value) override {
    WritePrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), ToWide(value).c_str(),
                               path_.c_str());
  }
  void Remove(std::u16string_view section, std::u16string_view key) override {
    WritePrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), nullptr, path_.c_str());
  }

 private:
  std::wstring path_;
};

std::optional<std::string> AppDataFolder() {
  std::array<char, MAX_PATH> buffer{};
  if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer.data()) != S_OK ||
      buffer[0] == '\0')
    return std::nullopt;
  return std::string(buffer.data());
}

std::wstring SystemDirectory() {
  std::array<wchar_t, MAX_PATH> buffer{};
  const UINT n = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return {};
  return std::wstring(buffer.data(), n);
}

// Inside the system directory lies the profile of the spooler's own account;
// the monitor never reads settings from there.
bool LiesInSystemDirectory(const std::wstring& path) {
  const std::wstring system = SystemDirectory();
  if (system.empty() || path.size() <= system.size() || path[system.size()] != L'\\') return false;
  return CompareStringOrdinal(path.c_str(), static_cast<int>(system.size()), system.c_str(),
                              static_cast<int>(system.size()), TRUE) == CSTR_EQUAL;
}

// The model INI is named like the printer description file, with the
// extension "INI", and lives in the system directory.
std::u16string ModelIniName(std::u16string_view descriptionPath) {
  const size_t slash = descriptionPath.find_last_of(u"\\/");
  std::u16string name(slash == std::u16string_view::npos ? descriptionPath
                                                         : descriptionPath.substr(slash + 1));
  if (name.empty()) return name;
  const size_t dot = name.rfind(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  return name + u".INI";
}

MonitorPrinter DescribePrinter(core::Printer& printer) {
  MonitorPrinter out;
  if (auto info = printer.GetInfo()) {
    out.name = info->printerName;
    out.ownPrintProcessor = info->printProcessor == kOwnPrintProcessor;
  }
  if (auto driver = printer.GetDriverInfo()) out.modelIni = ModelIniName(driver->dataFile);
  out.language = core::win::Win32Platform()
                     .GetString(core::StringSource::Language, kLanguageNameString)
                     .value_or(kDefaultLanguage);
  return out;
}

std::optional<ProfileIni> ModelIni(const MonitorPrinter& printer) {
  const std::wstring system = SystemDirectory();
  if (printer.modelIni.empty() || system.empty()) return std::nullopt;
  return ProfileIni(system + L"\\" + ToWide(printer.modelIni));
}

std::optional<std::wstring> RecordedMonitorVersion() {
  RegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kMonitorKey, 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
    return std::nullopt;
  std::array<wchar_t, 128> buffer{};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key.Get(), L"QvStMon", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return std::wstring();
  return std::wstring(buffer.data());
}

// Runs an INI operation on the printer's monitor INI and its model INI.
template <class Op>
void WithMonitorIni(core::Printer& printer, Op op) {
  const MonitorPrinter described = DescribePrinter(printer);
  if (described.name.empty()) return;
  ProfileIni monitor(MonitorIniPath());
  auto model = ModelIni(described);
  op(monitor, model ? &*model : nullptr, described);
}

}  // namespace

std::wstring ProductVersionOf(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<uint8_t> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return {};
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation))
    return {};
  std::array<wchar_t, 64> query{};
  swprintf(query.data(), query.size(), L"\\StringFileInfo\\%04x%04x\\ProductVersion",
           translations[0].language, translations[0].codePage);
  wchar_t* text = nullptr;
  UINT chars = 0;
  if (!VerQueryValueW(data.data(), query.data(), reinterpret_cast<void**>(&text), &chars) ||
      text == nullptr)
    return {};
  return std::wstring(text, wcsnlen(text, chars));
}

void RecordMonitorFolder() {
  RegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kMonitorKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      key.Out(), nullptr) != ERROR_SUCCESS)
    return;

  std::string folder;
  if (auto appData = AppDataFolder()) {
    folder = *appData + "\\Quorvel\\PrtDrv";
    std::array<char, MAX_PATH + 1> stored{};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    const bool same = RegQueryValueExA(key.Get(), "Path", nullptr, &type,
                                       reinterpret_cast<BYTE*>(stored.data()), &size) == ERROR_SUCCESS &&
                      std::string_view(stored.data()) == folder;
    if (same) {
      folder.clear();
    } else {
      // New folders look like the user's documents folder.
      std::array<char, MAX_PATH> documents{};
      const bool haveTemplate = SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT,
                                                 documents.data()) == S_OK;
      for (const std::string& dir : {*appData + "\\Quorvel", folder}) {
        if (haveTemplate)
          CreateDirectoryExA(documents.data(), dir.c_str(), nullptr);
        else
          CreateDirectoryA(dir.c_str(), nullptr);
      }
    }
  } else {
    std::array<char, MAX_PATH> windows{};
    const UINT n = GetWindowsDirectoryA(windows.data(), static_cast<UINT>(windows.size()));
    if (n > 0 && n < windows.size()) folder.assign(windows.data(), n);
  }
  if (!folder.empty())
    RegSetValueExA(key.Get(), "Path", 0, REG_BINARY, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));

  const std::wstring version = ProductVersionOf(core::win::PathBesideLibrary(kMonitorExe));
  if (!version.empty())
    RegSetValueExW(key.Get(), L"QvStMon", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
}

bool MonitorIsCurrent() {
  std::optional<std::wstring> version = RecordedMonitorVersion();
  if (!version) version = ProductVersionOf(core::win::PathBesideLibrary(kMonitorExe));
  return IsCurrentMonitorVersion(FromWide(*version));
}

std::wstring MonitorIniPath() {
  if (MonitorIsCurrent()) {
    std::array<wchar_t, MAX_PATH> appData{};
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData.data()) == S_OK &&
        appData[0] != L'\0')
      return std::wstring(appData.data()) + L"\\Quorvel\\PrtDrv\\" + kMonitorIniName;
  }
  return kMonitorIniName;
}

void ReadMonitorSettings(core::Printer& printer, SettingsRecord& record) {
  if (record.privByte824 == 0 || LiesInSystemDirectory(MonitorIniPath())) return;
  WithMonitorIni(printer, [&](IniFile& monitor, const IniFile* model, const MonitorPrinter& p) {
    ApplyMonitorSettings(monitor, model, p, record);
  });
}

void WriteMonitorSettings(core::Printer& printer, const SettingsRecord& record) {
  if (record.privByte824 == 0) return;
  WithMonitorIni(printer, [&](IniFile& monitor, const IniFile* model, const MonitorPrinter& p) {
    StoreMonitorSettings(monitor, model, p, record);
  });
}

uint32_t GetMonitorBits(core::Printer& printer) {
  uint32_t bits = 0;
  WithMonitorIni(printer, [&](IniFile& monitor, const IniFile* model, const MonitorPrinter& p) {
    bits = MonitorBits(monitor, model, p) & kMonitorRecordBits;
  });
  return bits;
}

void SetMonitorBits(core::Printer& printer, uint32_t bits) {
  WithMonitorIni(printer, [&](IniFile& monitor, const IniFile* model, const MonitorPrinter& p) {
    StoreMonitorBits(monitor, model, p, bits);
  });
}

}  // namespace qvx::events::win
