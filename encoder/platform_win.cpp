// System services on Windows: global memory, the shell's common application
// data folder, kernel files and the print spooler.
#include "platform.h"

#include <windows.h>
#include <shlobj.h>
#include <winspool.h>

namespace qvx::enc {
namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
HANDLE H(FileId f) { return reinterpret_cast<HANDLE>(f); }

// Printer access the encoder asks for: standard rights required plus printer
// use and administration.
constexpr DWORD kPrinterAccess = 0xF000C;

}  // namespace

void* Platform::Alloc(size_t bytes) { return ::GlobalAlloc(GPTR, bytes == 0 ? 1 : bytes); }
void Platform::Free(void* block) {
  if (block) ::GlobalFree(block);
}

bool Platform::CommonAppDataFolder(std::u16string& folder) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path))) return false;
  folder.assign(reinterpret_cast<const char16_t*>(path));
  return !folder.empty();
}

bool Platform::ColourTableFolder(std::u16string& folder) {
  wchar_t path[MAX_PATH] = {};
  DWORD needed = 0;
  if (!::GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(path),
                                    sizeof path, &needed))
    return false;
  path[MAX_PATH - 1] = 0;
  folder.assign(reinterpret_cast<const char16_t*>(path));
  if (folder.empty()) return false;
  folder += u"\\3";
  return true;
}

char16_t Platform::PathSeparator() const { return u'\\'; }

bool Platform::PathExists(const std::u16string& path) {
  return ::GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

bool Platform::CreateFolder(const std::u16string& path) {
  return ::CreateDirectoryW(W(path), nullptr) != FALSE;
}

bool Platform::GrantEveryoneAccess(const std::u16string& path) {
  // A present but null discretionary access list grants everybody full access.
  SECURITY_DESCRIPTOR sd;
  if (!::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION)) return false;
  if (!::SetSecurityDescriptorDacl(&sd, TRUE, nullptr, FALSE)) return false;
  return ::SetFileSecurityW(W(path), DACL_SECURITY_INFORMATION, &sd) != FALSE;
}

bool Platform::TempFileName(const std::u16string& folder, const std::u16string& prefix,
                            std::u16string& path) {
  wchar_t name[MAX_PATH] = {};
  if (::GetTempFileNameW(W(folder), W(prefix), 0, name) == 0) return false;
  path.assign(reinterpret_cast<const char16_t*>(name));
  return true;
}

FileId Platform::CreateNewFile(const std::u16string& path) {
  HANDLE h = ::CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileId>(h);
}

FileId Platform::OpenForReading(const std::u16string& path) {
  HANDLE h = ::CreateFileW(W(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileId>(h);
}

int64_t Platform::WriteFile(FileId file, const void* bytes, uint32_t count) {
  DWORD done = 0;
  if (!::WriteFile(H(file), bytes, count, &done, nullptr)) return done > 0 ? done : -1;
  return done;
}

int64_t Platform::ReadFile(FileId file, void* bytes, uint32_t count) {
  DWORD done = 0;
  if (!::ReadFile(H(file), bytes, count, &done, nullptr)) return done > 0 ? done : -1;
  return done;
}

bool Platform::Seek(FileId file, int64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = position;
  return ::SetFilePointerEx(H(file), to, nullptr, FILE_BEGIN) != FALSE;
}

int64_t Platform::Tell(FileId file) {
  LARGE_INTEGER zero{}, at{};
  if (!::SetFilePointerEx(H(file), zero, &at, FILE_CURRENT)) return -1;
  return at.QuadPart;
}

void Platform::CloseFile(FileId file) { ::CloseHandle(H(file)); }

bool Platform::RemoveFile(const std::u16string& path) { return ::DeleteFileW(W(path)) != FALSE; }

uintptr_t Platform::OpenPrinterByName(const char16_t* name, bool withDefaults) {
  HANDLE printer = nullptr;
  auto* printerName = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(name));
  BOOL ok;
  if (withDefaults) {
    PRINTER_DEFAULTSW defaults{};
    defaults.pDatatype = const_cast<wchar_t*>(L"RAW");
    defaults.DesiredAccess = kPrinterAccess;
    ok = ::OpenPrinterW(printerName, &printer, &defaults);
  } else {
    ok = ::OpenPrinterW(printerName, &printer, nullptr);
  }
  return ok ? reinterpret_cast<uintptr_t>(printer) : 0;
}

bool Platform::GetPrinterInfo(uintptr_t printer, std::vector<uint8_t>& info) {
  DWORD needed = 0;
  ::GetPrinterW(reinterpret_cast<HANDLE>(printer), 2, nullptr, 0, &needed);
  if (needed == 0) return false;
  info.assign(needed, 0);
  return ::GetPrinterW(reinterpret_cast<HANDLE>(printer), 2, info.data(), needed, &needed) != FALSE;
}

void Platform::ClosePrinter(uintptr_t printer) {
  if (printer) ::ClosePrinter(reinterpret_cast<HANDLE>(printer));
}

Platform& SystemPlatform() {
  static Platform platform;
  return platform;
}

}  // namespace qvx::enc
