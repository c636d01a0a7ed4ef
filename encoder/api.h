// The work of the five exports, with the platform and the encoder object as
// parameters so that tests can run them on a fault-injecting platform.
#pragma once

#include <memory>

#include "platform.h"
#include "qvenc.h"
#include "raster_encoder.h"

namespace qvx::enc {

// Creates an InkjetEncoder on platform and initialises it.
int32_t EncInit(Platform& platform, QvEncHandle* handle, const QvEncConfig* config,
                QvEncWriteProc writeProc, void* context);
// Initialises a given encoder object; the handle then owns it.
int32_t EncInitWith(std::unique_ptr<RasterEncoder> encoder, QvEncHandle* handle,
                    const QvEncConfig* config, QvEncWriteProc writeProc, void* context);
int32_t EncReInit(QvEncHandle handle, const QvEncConfig* config, QvEncWriteProc writeProc,
                  void* context);
int32_t EncPageData(QvEncHandle handle, const void* settings, uint32_t settingsSize,
                    const QvEncPageInfo* info, const void* rows);
int32_t EncExit(QvEncHandle handle);
int32_t EncAbort(QvEncHandle handle);

inline RasterEncoder* FromHandle(QvEncHandle handle) {
  return reinterpret_cast<RasterEncoder*>(handle);
}

}  // namespace qvx::enc
