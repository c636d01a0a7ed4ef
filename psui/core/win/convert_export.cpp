// DrvConvertDevMode: the spooler's conversion of settings records between
// driver versions, and the driver's default record.
#include <windows.h>

#include "convert.h"
#include "win_platform.h"

using namespace qvx::core;
using namespace qvx::core::win;

extern "C" BOOL WINAPI DrvConvertDevMode(LPWSTR pPrinterName, DEVMODEW* pdmIn, DEVMODEW* pdmOut, LONG* pcbNeeded,
                                         DWORD fMode) {
  ConvertResult result;
  try {
    static_assert(sizeof(LONG) == sizeof(int32_t));
    const std::u16string name = pPrinterName != nullptr ? FromWide(pPrinterName) : std::u16string();
    result = ConvertDevMode(Win32Platform(), name, pdmIn, pdmOut, reinterpret_cast<int32_t*>(pcbNeeded), fMode);
  } catch (...) {
    result = {false, ERROR_NOT_ENOUGH_MEMORY};
  }
  if (!result.ok && result.lastError != 0) SetLastError(result.lastError);
  return result.ok ? TRUE : FALSE;
}
