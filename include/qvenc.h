/*
 * QVXENC: the raster encoder's exported interface.
 *
 * A rendering filter creates one encoder per print job with QvEncInit, hands it
 * every page as bands of 24-bit RGB rows with QvEncPageData (each call carries
 * the job's 2376-byte driver settings record and a page-information record),
 * and ends the job with QvEncExit or QvEncAbort. Every byte of the printer's
 * command stream leaves through the caller's write callback.
 *
 * All functions return a 32-bit status: 0 or positive is success, negative is
 * one of the QVENC_E_* codes below (or the callback's own negative status).
 * The caller owns every record and row it passes; the encoder only reads them.
 *
 * Usable from C and C++. Windows: QVXENC.DLL, standard calling convention.
 * Linux: libqvxenc.so with the same names and records.
 */
#ifndef QVX_QVENC_H
#define QVX_QVENC_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define QVENC_CALL __stdcall
#if defined(QVENC_BUILDING)
#define QVENC_API
#else
#define QVENC_API __declspec(dllimport)
#endif
#else
#define QVENC_CALL
#define QVENC_API __attribute__((visibility("default")))
#endif

#if defined(__cplusplus)
#define QVENC_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define QVENC_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

/* Size of the driver settings record that QvEncPageData requires. */
#define QVENC_SETTINGS_SIZE 2376u
/* Bytes of QvEncConfig that the encoder keeps. */
#define QVENC_CONFIG_SIZE 1032u
/* Size of QvEncPageInfo. */
#define QVENC_PAGEINFO_SIZE 1536u

/* Caller's configuration: read and copied (min(size, 1032) bytes), never written. */
typedef struct QvEncConfig {
  uint32_t size;             /* bytes the caller filled in */
  uint16_t printerName[514]; /* UTF-16, NUL-terminated; empty: no printer is opened */
} QvEncConfig;

QVENC_STATIC_ASSERT(offsetof(QvEncConfig, size) == 0, "QvEncConfig.size");
QVENC_STATIC_ASSERT(offsetof(QvEncConfig, printerName) == 4, "QvEncConfig.printerName");
QVENC_STATIC_ASSERT(sizeof(QvEncConfig) == 1032, "QvEncConfig size");

/* Page information, passed with every band. Little-endian; unnamed bytes are
 * kept with the page and not interpreted. */
typedef struct QvEncPageInfo {
  uint8_t reserved0[16];
  int32_t invertRows;    /* 16: nonzero: every row word is bit-inverted before use */
  uint8_t reserved20[20];
  int32_t pageWidth;     /* 40: device pixels */
  int32_t pageHeight;    /* 44: rows */
  int32_t rowBits;       /* 48: bits per row; bytes per row = (rowBits + 7) / 8 */
  int32_t bandRows;      /* 52: rows delivered by this call */
  uint8_t reserved56[8];
  int32_t pageId;        /* 64: a change starts a new page */
  int32_t documentId;    /* 68: a change starts a new document */
  uint8_t reserved72[256];
  uint32_t pageFlags;    /* 328: bit 0 set is refused */
  uint8_t reserved332[24];
  int32_t planeCount;    /* 356: planes for raster format 3 */
  int32_t rasterFormat;  /* 360: 1..4 (packing 1, 2, 4, 8 bits); only 2 is accepted */
  uint16_t grayBits;     /* 364: bits per pixel for "DeviceGray" */
  uint8_t reserved366[10];
  char colorSpace[11];   /* 376: "DeviceRGB", "DeviceCMYK" or "DeviceGray"; only RGB is accepted */
  uint8_t reserved387[1149];
} QvEncPageInfo;

QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, invertRows) == 16, "invertRows");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, pageWidth) == 40, "pageWidth");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, pageHeight) == 44, "pageHeight");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, rowBits) == 48, "rowBits");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, bandRows) == 52, "bandRows");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, pageId) == 64, "pageId");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, documentId) == 68, "documentId");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, pageFlags) == 328, "pageFlags");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, planeCount) == 356, "planeCount");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, rasterFormat) == 360, "rasterFormat");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, grayBits) == 364, "grayBits");
QVENC_STATIC_ASSERT(offsetof(QvEncPageInfo, colorSpace) == 376, "colorSpace");
QVENC_STATIC_ASSERT(sizeof(QvEncPageInfo) == 1536, "QvEncPageInfo size");

/* Receives command bytes. A negative result is an error; the export during
 * which the write happened returns it. */
typedef int32_t(QVENC_CALL *QvEncWriteProc)(const void *bytes, uint32_t count, void *context);

/* One encoder, one job. Opaque. */
typedef struct QvEncObject *QvEncHandle;

/* Status codes. */
#define QVENC_OK 0
#define QVENC_E_OUTPUT_BUFFER (-1)      /* output buffer could not be allocated */
#define QVENC_E_NULL_PAGEINFO (-2)      /* page info null */
#define QVENC_E_NULL_SETTINGS (-3)      /* settings record null at a page start */
#define QVENC_E_SETTINGS_CACHE (-5)     /* settings cache could not be allocated */
#define QVENC_E_RASTER_FORMAT (-6)      /* unknown rasterFormat */
#define QVENC_E_RASTER_UNSUPPORTED (-7) /* rasterFormat other than 2 */
#define QVENC_E_COLOR_SPACE (-8)        /* unknown colorSpace */
#define QVENC_E_COLOR_UNSUPPORTED (-9)  /* colorSpace other than "DeviceRGB" */
#define QVENC_E_PAGE_FLAGS (-10)        /* pageFlags bit 0 set */
#define QVENC_E_BAND_BUFFER (-11)       /* band buffer could not be allocated, no smaller height */
#define QVENC_E_SPOOL_WRITE (-12)       /* spool file write short or failed */
#define QVENC_E_SPOOL_REOPEN (-13)      /* spool file could not be reopened for replay */
#define QVENC_E_SPOOL_SECTION (-14)     /* section not found in the spool file */
#define QVENC_E_SPOOL_FOLDER (-15)      /* spool folder path could not be obtained */
#define QVENC_E_SPOOL_TEMPNAME (-16)    /* no temporary file name */
#define QVENC_E_SPOOL_CREATE (-17)      /* spool file could not be created */
#define QVENC_E_SPOOL_HEADER (-18)      /* section header could not be written */
#define QVENC_E_ENCODER_ALLOC (-19)     /* encoder could not be allocated or constructed */
#define QVENC_E_NULL_HANDLE_PAGEDATA (-20)
#define QVENC_E_NULL_HANDLE_EXIT (-21)
#define QVENC_E_NULL_HANDLE_ABORT (-22)
#define QVENC_E_NULL_HANDLE_REINIT (-27)
#define QVENC_E_SPOOL_LIST (-28)        /* spool list could not be grown */
/* Checks on what the caller hands in. */
#define QVENC_E_NULL_ROWS (-29)         /* rows are due but the row pointer is null */
#define QVENC_E_PAGE_GEOMETRY (-30)     /* negative or absurd width, height, rowBits or bandRows */
#define QVENC_E_ROW_TOO_SHORT (-31)     /* rowBits cannot hold the printable width at 24 bits per pixel */
#define QVENC_E_PAGE_INCOMPLETE (-32)   /* page ended before all its printable rows arrived */
#define QVENC_E_NULL_OUT_HANDLE (-33)   /* QvEncInit without a place for the handle */
#define QVENC_E_INTERNAL (-34)          /* unexpected failure inside the encoder (e.g. out of memory) */
/* Job state (printer class). */
#define QVENC_E_JOB_NULL_SETTINGS (-1001)
#define QVENC_E_JOB_SETTINGS_SIZE (-1002) /* settings size not 2376 */
#define QVENC_E_JOB_ALLOC_FIRST (-1003)   /* -1003..-1018: job state or a work buffer */
#define QVENC_E_JOB_ALLOC_LAST (-1018)
#define QVENC_E_NO_PRINTABLE_AREA (-1020) /* margins leave no printable area */
#define QVENC_E_NO_RECTANGLE (-1021)      /* no rectangle to fill */

/* Largest page side and row length accepted, in pixels and bits. */
#define QVENC_MAX_PAGE_PIXELS 65535
#define QVENC_MAX_ROW_BITS (65535 * 32)

QVENC_API int32_t QVENC_CALL QvEncInit(QvEncHandle *encoder, const QvEncConfig *config,
                                       QvEncWriteProc writeProc, void *context);
/* Replaces the callback and context when not null, and the configuration copy
 * when a record is given (the printer is not reopened). */
QVENC_API int32_t QVENC_CALL QvEncReInit(QvEncHandle encoder, const QvEncConfig *config,
                                         QvEncWriteProc writeProc, void *context);
/* One band of one page: bandRows rows of (rowBits + 7) / 8 bytes each at rows. */
QVENC_API int32_t QVENC_CALL QvEncPageData(QvEncHandle encoder, const void *settings,
                                           uint32_t settingsSize, const QvEncPageInfo *pageInfo,
                                           const void *rows);
/* Ends the open page and document, delivers spooled output, destroys the encoder. */
QVENC_API int32_t QVENC_CALL QvEncExit(QvEncHandle encoder);
/* Ends the job without further output, deletes spool files, destroys the encoder. */
QVENC_API int32_t QVENC_CALL QvEncAbort(QvEncHandle encoder);

#if defined(__cplusplus)
}
#endif

#endif /* QVX_QVENC_H */
