// Printing a page image through the encoder's five exports; compiled into the
// programs that link those exports from the encoder's source.
#include <algorithm>
#include <cstring>

#include "raster_job.h"

namespace qvx::raster::test {

int32_t PrintImage(const SettingsRecord& record, const Image& page, int bandRows, QvEncWriteProc write,
                   void* context) {
  QvEncHandle h = nullptr;
  int32_t status = QvEncInit(&h, nullptr, write, context);
  if (status != 0) return status;
  QvEncPageInfo info{};
  info.pageWidth = page.width;
  info.pageHeight = page.height;
  info.rowBits = page.width * 24;
  info.pageId = 1;
  info.documentId = 1;
  info.rasterFormat = 2;
  std::strcpy(info.colorSpace, "DeviceRGB");
  for (int y = 0; y < page.height && status == 0; y += bandRows) {
    info.bandRows = std::min(bandRows, page.height - y);
    status = QvEncPageData(h, &record, sizeof record, &info, page.Row(y));
  }
  const int32_t exit = QvEncExit(h);
  return status != 0 ? status : exit;
}

}  // namespace qvx::raster::test
