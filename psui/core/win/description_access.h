// AcquireDescriptionImage / ReleaseDescriptionImage: the description image of
// a spooler printer, through the process-wide cache.
#pragma once

#include <windows.h>

#include "description_image.h"
#include "platform.h"

namespace qvx::core::win {

// The image for the printer's description file (its driver's data file).
// useCache is set by ordinary callers; driver upgrade and printer events
// clear it to rebuild from the file. Null when the driver information cannot
// be read or the description cannot be loaded.
DescriptionImage* AcquireDescriptionImage(HANDLE printer, BOOL useCache);
DescriptionImage* AcquireDescriptionImage(Printer& printer, bool useCache);
void ReleaseDescriptionImage(DescriptionImage* image);

// Holds an acquired image and releases it on every path.
class ScopedDescriptionImage {
 public:
  explicit ScopedDescriptionImage(DescriptionImage* image) : image_(image) {}
  ~ScopedDescriptionImage() { ReleaseDescriptionImage(image_); }
  ScopedDescriptionImage(const ScopedDescriptionImage&) = delete;
  ScopedDescriptionImage& operator=(const ScopedDescriptionImage&) = delete;

  DescriptionImage* get() const { return image_; }
  explicit operator bool() const { return image_ != nullptr; }

 private:
  DescriptionImage* image_;
};

}  // namespace qvx::core::win
