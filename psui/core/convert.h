// The logic of the spooler's DrvConvertDevMode, apart from the export that
// calls it: the caller's buffer sizes come in explicitly and the thread's last
// error goes out in the result.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform.h"

namespace qvx::core {

// Conversion modes of DrvConvertDevMode.
inline constexpr uint32_t kConvertToCaller = 1;   // CDM_CONVERT
inline constexpr uint32_t kConvertToOld = 2;      // CDM_CONVERT351
inline constexpr uint32_t kDriverDefault = 4;     // CDM_DRIVER_DEFAULT

inline constexpr uint32_t kErrorInvalidParameter = 87;     // ERROR_INVALID_PARAMETER
inline constexpr uint32_t kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER

// Size of the old (3.51) record: 188 public + 112 private bytes.
inline constexpr uint32_t kOldRecordSize = 188 + 112;

struct ConvertResult {
  bool ok = false;
  uint32_t lastError = 0;  // 0: the call sets no last error
};

// printerName: the printer (mode 4). input: the caller's record (its size is
// what its header declares, as the spooler guarantees). output and *size: the
// caller's buffer and its size in bytes; *size receives the size written or
// needed. size may be null (then the call fails with an invalid parameter).
ConvertResult ConvertDevMode(Platform& platform, std::u16string_view printerName, const void* input, void* output,
                             int32_t* size, uint32_t mode);

}  // namespace qvx::core
