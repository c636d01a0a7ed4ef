// The Win32 implementation of the core's platform seam: winspool for
// printers, printer data and forms, the registry, and string resources of
// QVXUI and its language library.
#pragma once

#include <windows.h>

#include <memory>

#include "platform.h"

namespace qvx::core::win {

// The process's platform (stateless; shared by every entry point).
Platform& Win32Platform();

// A printer handle that the spooler passed in; it stays the caller's.
std::unique_ptr<Printer> BorrowPrinter(HANDLE handle);

// Converts between the seam's UTF-16 strings and Win32 wide strings.
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

}  // namespace qvx::core::win
