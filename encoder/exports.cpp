// The library's five exports.
#define QVENC_BUILDING 1
#include "api.h"
#include "qvenc.h"

using namespace qvx::enc;

extern "C" {

QVENC_API int32_t QVENC_CALL QvEncInit(QvEncHandle* encoder, const QvEncConfig* config,
                                       QvEncWriteProc writeProc, void* context) {
  return EncInit(SystemPlatform(), encoder, config, writeProc, context);
}

QVENC_API int32_t QVENC_CALL QvEncReInit(QvEncHandle encoder, const QvEncConfig* config,
                                         QvEncWriteProc writeProc, void* context) {
  return EncReInit(encoder, config, writeProc, context);
}

QVENC_API int32_t QVENC_CALL QvEncPageData(QvEncHandle encoder, const void* settings,
                                           uint32_t settingsSize, const QvEncPageInfo* pageInfo,
                                           const void* rows) {
  return EncPageData(encoder, settings, settingsSize, pageInfo, rows);
}

QVENC_API int32_t QVENC_CALL QvEncExit(QvEncHandle encoder) { return EncExit(encoder); }

QVENC_API int32_t QVENC_CALL QvEncAbort(QvEncHandle encoder) { return EncAbort(encoder); }

}  // extern "C"
