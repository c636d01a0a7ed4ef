// One catch per entry point: nothing is thrown across the exports.
#include "api.h"

#include <new>

#include "inkjet_encoder.h"

namespace qvx::enc {

int32_t EncInit(Platform& platform, QvEncHandle* handle, const QvEncConfig* config,
                QvEncWriteProc writeProc, void* context) {
  std::unique_ptr<RasterEncoder> encoder;
  try {
    encoder = std::make_unique<InkjetEncoder>(platform);
  } catch (...) {
    return QVENC_E_ENCODER_ALLOC;
  }
  return EncInitWith(std::move(encoder), handle, config, writeProc, context);
}

int32_t EncInitWith(std::unique_ptr<RasterEncoder> encoder, QvEncHandle* handle,
                    const QvEncConfig* config, QvEncWriteProc writeProc, void* context) {
  if (handle == nullptr) return QVENC_E_NULL_OUT_HANDLE;
  *handle = nullptr;
  if (!encoder) return QVENC_E_ENCODER_ALLOC;
  int32_t status;
  try {
    status = encoder->Init(config, writeProc, context);
  } catch (...) {
    status = QVENC_E_ENCODER_ALLOC;
  }
  if (status < 0) return status;  // the encoder and all it holds go with it
  *handle = reinterpret_cast<QvEncHandle>(encoder.release());
  return status;
}

int32_t EncReInit(QvEncHandle handle, const QvEncConfig* config, QvEncWriteProc writeProc,
                  void* context) {
  if (handle == nullptr) return QVENC_E_NULL_HANDLE_REINIT;
  return FromHandle(handle)->ReInit(config, writeProc, context);
}

int32_t EncPageData(QvEncHandle handle, const void* settings, uint32_t settingsSize,
                    const QvEncPageInfo* info, const void* rows) {
  if (handle == nullptr) return QVENC_E_NULL_HANDLE_PAGEDATA;
  try {
    return FromHandle(handle)->PageData(settings, settingsSize, info, rows);
  } catch (...) {
    return QVENC_E_INTERNAL;
  }
}

int32_t EncExit(QvEncHandle handle) {
  if (handle == nullptr) return QVENC_E_NULL_HANDLE_EXIT;
  std::unique_ptr<RasterEncoder> encoder(FromHandle(handle));
  try {
    return encoder->Exit();
  } catch (...) {
    return QVENC_E_INTERNAL;
  }
}

int32_t EncAbort(QvEncHandle handle) {
  if (handle == nullptr) return QVENC_E_NULL_HANDLE_ABORT;
  std::unique_ptr<RasterEncoder> encoder(FromHandle(handle));
  try {
    return encoder->Abort();
  } catch (...) {
    return QVENC_E_INTERNAL;
  }
}

}  // namespace qvx::enc
