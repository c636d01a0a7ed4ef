// Declarations of the printer-interface DDI that mingw-w64's headers lack,
// written from the platform's public documentation.
#pragma once

#include <windows.h>

namespace qvx::core::win {

// The print query's argument (DevQueryPrintEx).
struct DevQueryPrintInfo {
  WORD cbSize;
  WORD Level;
  HANDLE hPrinter;
  DEVMODEW* pDevMode;
  LPWSTR pszErrorStr;
  DWORD cchErrorStr;
  DWORD cchNeeded;
};

// The document property header of DrvDocumentPropertySheets' silent calls.
struct DocumentPropertyHeader {
  WORD cbSize;
  WORD Reserved;
  HANDLE hPrinter;
  LPWSTR pszPrinterName;
  DEVMODEW* pdmIn;
  DEVMODEW* pdmOut;
  DWORD cbOut;
  DWORD fMode;
};

// DrvConvertDevMode modes.
inline constexpr DWORD kCdmConvert = 0x01;
inline constexpr DWORD kCdmConvert351 = 0x02;
inline constexpr DWORD kCdmDriverDefault = 0x04;

}  // namespace qvx::core::win
