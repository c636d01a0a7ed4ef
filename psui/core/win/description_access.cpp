#include "description_access.h"

#include <filesystem>

#include "cache.h"
#include "win_platform.h"

namespace qvx::core::win {

DescriptionImage* AcquireDescriptionImage(Printer& printer, bool useCache) {
  const auto driver = printer.GetDriverInfo();
  if (!driver || driver->dataFile.empty()) return nullptr;
  const std::u16string& path = driver->dataFile;
  return ProcessDescriptionCache().Acquire(path, useCache, [&]() -> DescriptionImage* {
    try {
      return LoadDescriptionImage(std::filesystem::path(ToWide(path))).release();
    } catch (...) {
      return nullptr;
    }
  });
}

DescriptionImage* AcquireDescriptionImage(HANDLE printer, BOOL useCache) {
  const auto borrowed = BorrowPrinter(printer);
  return borrowed ? AcquireDescriptionImage(*borrowed, useCache != FALSE) : nullptr;
}

void ReleaseDescriptionImage(DescriptionImage* image) { ProcessDescriptionCache().Release(image); }

}  // namespace qvx::core::win
