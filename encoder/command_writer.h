// CommandWriter: how the printer class and the raster stage put command bytes
// into the encoder's output buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster_encoder.h"

namespace qvx::enc {

class CommandWriter {
 public:
  explicit CommandWriter(RasterEncoder& encoder) : encoder_(&encoder) {}
  virtual ~CommandWriter() = default;

  // Appends length bytes; a length of 0 means the bytes up to the terminating
  // NUL. Returns the first negative delivery status, else 0.
  int32_t Write(const void* bytes, size_t length) {
    if (length == 0) length = std::strlen(static_cast<const char*>(bytes));
    return encoder_->Write(bytes, length);
  }

 private:
  RasterEncoder* encoder_;
};

}  // namespace qvx::enc
