// System services the encoder uses: zero-filled memory blocks, the shared
// application data folder, temporary spool files and the configured printer.
// Everything goes through one Platform object so that tests can fail any of
// these calls on purpose; the encoder itself never calls the system directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvx::enc {

using FileId = intptr_t;
inline constexpr FileId kNoFile = -1;

class Platform {
 public:
  virtual ~Platform() = default;

  // Zero-filled block; nullptr when it cannot be had.
  virtual void* Alloc(size_t bytes);
  virtual void Free(void* block);

  // The all-users application data folder, without a trailing separator
  // unless the system gives one.
  virtual bool CommonAppDataFolder(std::u16string& folder);
  // Folder of the colour table files: the local printer driver directory's
  // "3" folder. False where there is none (Linux): built-in tables are used.
  virtual bool ColourTableFolder(std::u16string& folder);
  virtual char16_t PathSeparator() const;
  virtual bool PathExists(const std::u16string& path);
  virtual bool CreateFolder(const std::u16string& path);
  // Gives every user full access to a folder this code created.
  virtual bool GrantEveryoneAccess(const std::u16string& path);
  // Creates a new, empty, uniquely named file in folder and returns its path.
  virtual bool TempFileName(const std::u16string& folder, const std::u16string& prefix,
                            std::u16string& path);

  // Read and write, no sharing, truncated or created.
  virtual FileId CreateNewFile(const std::u16string& path);
  // Existing file, read only, no sharing.
  virtual FileId OpenForReading(const std::u16string& path);
  // Bytes transferred, or -1.
  virtual int64_t WriteFile(FileId file, const void* bytes, uint32_t count);
  virtual int64_t ReadFile(FileId file, void* bytes, uint32_t count);
  virtual bool Seek(FileId file, int64_t position);
  virtual int64_t Tell(FileId file);
  virtual void CloseFile(FileId file);
  virtual bool RemoveFile(const std::u16string& path);

  // Opens the printer with the encoder's desired access and the "RAW" data
  // type; withDefaults false opens it with no defaults at all. Returns an
  // opaque handle or 0. Systems without a print spooler open nothing.
  virtual uintptr_t OpenPrinterByName(const char16_t* name, bool withDefaults);
  // The printer's level-2 information block.
  virtual bool GetPrinterInfo(uintptr_t printer, std::vector<uint8_t>& info);
  virtual void ClosePrinter(uintptr_t printer);
};

// The process's system implementation.
Platform& SystemPlatform();

}  // namespace qvx::enc
