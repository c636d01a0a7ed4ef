#include "win_platform.h"

#include <winspool.h>

#include <cstring>
#include <vector>

#include "library_state.h"

namespace qvx::core::win {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring ToWide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::u16string FromWide(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

namespace {

std::u16string FromWideZ(const wchar_t* text) {
  return text != nullptr ? FromWide(std::wstring_view(text)) : std::u16string();
}

// The spooler's two-call pattern: ask for the size (the call fails with
// ERROR_INSUFFICIENT_BUFFER), then fetch into a buffer of that size.
template <class Call>
std::optional<std::vector<uint8_t>> QuerySized(Call call) {
  DWORD needed = 0;
  if (call(nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
    return std::nullopt;
  }
  std::vector<uint8_t> buffer(needed);
  if (!call(buffer.data(), needed, &needed)) return std::nullopt;
  return buffer;
}

class WinPrinter final : public Printer {
 public:
  WinPrinter(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {}
  ~WinPrinter() override {
    if (owned_) ClosePrinter(handle_);
  }
  WinPrinter(const WinPrinter&) = delete;
  WinPrinter& operator=(const WinPrinter&) = delete;

  std::optional<PrinterInfo> GetInfo() override {
    auto buffer = QuerySized([&](BYTE* data, DWORD size, DWORD* needed) {
      return GetPrinterW(handle_, 2, data, size, needed);
    });
    if (!buffer) return std::nullopt;
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer->data());
    PrinterInfo out;
    out.printerName = FromWideZ(info->pPrinterName);
    out.driverName = FromWideZ(info->pDriverName);
    out.printProcessor = FromWideZ(info->pPrintProcessor);
    if (info->pDevMode != nullptr) {
      // The record lies inside the buffer; take what it claims, but never
      // more than the buffer holds after it.
      const auto* start = reinterpret_cast<const uint8_t*>(info->pDevMode);
      const uint8_t* end = buffer->data() + buffer->size();
      if (start >= buffer->data() && start < end) {
        const size_t available = static_cast<size_t>(end - start);
        const size_t claimed = size_t{info->pDevMode->dmSize} + info->pDevMode->dmDriverExtra;
        out.devMode.assign(start, start + std::min(claimed, available));
      }
    }
    return out;
  }

  std::optional<DriverInfo> GetDriverInfo() override {
    auto buffer = QuerySized([&](BYTE* data, DWORD size, DWORD* needed) {
      return GetPrinterDriverW(handle_, nullptr, 2, data, size, needed);
    });
    if (!buffer) return std::nullopt;
    const auto* info = reinterpret_cast<const DRIVER_INFO_2W*>(buffer->data());
    DriverInfo out;
    out.name = FromWideZ(info->pName);
    out.driverPath = FromWideZ(info->pDriverPath);
    out.dataFile = FromWideZ(info->pDataFile);
    out.configFile = FromWideZ(info->pConfigFile);
    return out;
  }

  std::optional<DataValue> GetData(std::u16string_view name) override {
    std::wstring key = ToWide(name);
    // Most values are small: one call with a buffer, a second one only when
    // the value is larger.
    DataValue value;
    value.bytes.resize(256);
    for (int attempt = 0; attempt < 2; ++attempt) {
      DWORD type = 0;
      DWORD needed = 0;
      const DWORD status = GetPrinterDataW(handle_, key.data(), &type, value.bytes.data(),
                                           static_cast<DWORD>(value.bytes.size()), &needed);
      if (status == ERROR_SUCCESS) {
        value.type = static_cast<ValueType>(type);
        value.bytes.resize(std::min<size_t>(needed, value.bytes.size()));
        return value;
      }
      if (status != ERROR_MORE_DATA || needed <= value.bytes.size()) return std::nullopt;
      value.bytes.resize(needed);
    }
    return std::nullopt;
  }

  bool SetData(std::u16string_view name, const DataValue& value) override {
    const std::wstring key = ToWide(name);
    return SetPrinterDataW(handle_, const_cast<wchar_t*>(key.c_str()), static_cast<DWORD>(value.type),
                           const_cast<BYTE*>(value.bytes.data()),
                           static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
  }

  std::optional<std::vector<FormInfo>> ListForms() override {
    DWORD needed = 0;
    DWORD count = 0;
    if (EnumFormsW(handle_, 1, nullptr, 0, &needed, &count) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
        needed == 0) {
      return std::nullopt;
    }
    std::vector<uint8_t> buffer(needed);
    if (!EnumFormsW(handle_, 1, buffer.data(), needed, &needed, &count)) return std::nullopt;
    const auto* forms = reinterpret_cast<const FORM_INFO_1W*>(buffer.data());
    std::vector<FormInfo> out;
    out.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
      const FORM_INFO_1W& f = forms[i];
      out.push_back({f.Flags, FromWideZ(f.pName), f.Size.cx, f.Size.cy, f.ImageableArea.left,
                     f.ImageableArea.top, f.ImageableArea.right, f.ImageableArea.bottom});
    }
    return out;
  }

  bool InsertForm(const FormInfo& form) override {
    std::wstring name = ToWide(form.name);
    FORM_INFO_1W info{};
    info.Flags = form.flags;
    info.pName = name.data();
    info.Size = {form.width, form.height};
    info.ImageableArea = {form.left, form.top, form.right, form.bottom};
    return AddFormW(handle_, 1, reinterpret_cast<BYTE*>(&info)) != FALSE;
  }

  bool RemoveForm(std::u16string_view name) override {
    std::wstring wide = ToWide(name);
    return DeleteFormW(handle_, wide.data()) != FALSE;
  }

 private:
  HANDLE handle_;
  bool owned_;
};

class WinPlatform final : public Platform {
 public:
  std::unique_ptr<Printer> OpenPrinterByName(std::u16string_view name) override {
    std::wstring wide = ToWide(name);
    HANDLE handle = nullptr;
    // Administrator access is needed to write printer data and forms; a
    // caller without it still gets a handle for reading.
    PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(wide.data(), &handle, &admin) && !OpenPrinterW(wide.data(), &handle, nullptr)) {
      return nullptr;
    }
    return std::make_unique<WinPrinter>(handle, true);
  }

  std::optional<std::u16string> ReadRegistryString(RegistryRoot root, std::u16string_view key,
                                                   std::u16string_view value, size_t maxBytes) override {
    HKEY opened = nullptr;
    const HKEY base = root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    if (RegOpenKeyExW(base, ToWide(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
    std::vector<uint8_t> buffer(maxBytes);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG status = RegQueryValueExW(opened, ToWide(value).c_str(), nullptr, &type, buffer.data(), &size);
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    std::u16string text(size / sizeof(char16_t), u'\0');
    std::memcpy(text.data(), buffer.data(), text.size() * sizeof(char16_t));
    if (const size_t end = text.find(u'\0'); end != std::u16string::npos) text.resize(end);
    return text;
  }

  std::optional<std::u16string> GetString(StringSource source, uint32_t id) override {
    const HINSTANCE module = source == StringSource::Language ? LanguageModule() : LibraryModule();
    // With a zero buffer size LoadStringW hands out the resource itself.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || text == nullptr) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(length));
  }

  std::u16string ActiveRootWindowClass() override {
    HWND window = GetActiveWindow();
    if (window == nullptr) return {};
    for (HWND parent = GetParent(window); parent != nullptr; parent = GetParent(parent)) window = parent;
    wchar_t name[33] = {};
    const int length = GetClassNameW(window, name, 33);
    return length > 0 ? FromWide(std::wstring_view(name, static_cast<size_t>(length))) : std::u16string();
  }
};

}  // namespace

Platform& Win32Platform() {
  static WinPlatform platform;
  return platform;
}

std::unique_ptr<Printer> BorrowPrinter(HANDLE handle) {
  if (handle == nullptr) return nullptr;
  return std::make_unique<WinPrinter>(handle, false);
}

}  // namespace qvx::core::win
