// RasterEncoder: the printer-neutral framework of one print job. It keeps the
// caller's configuration, sequences documents and pages from the ids in the
// page information, buffers rows into bands, buffers output and spools it to
// temporary files for copies and reverse order. Every printer-specific step is
// a virtual operation with a do-nothing default; InkjetEncoder fills them in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "memory_block.h"
#include "platform.h"
#include "qvenc.h"

namespace qvx::enc {

// What ProcessBand receives. rows points at the leftmost printable pixel of
// the band's first row; consecutive rows are bytesPerRow apart.
struct BandDescriptor {
  int32_t reserved = 0;
  int32_t width = 0;        // printable width in pixels
  int32_t height = 0;       // printable height of the page in rows
  int32_t bytesPerRow = 0;  // stride of rows
  int16_t planes = 1;
  int16_t bitsPerPixel = 24;
  const uint8_t* rows = nullptr;
};

struct PrintableRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// One spool file of the job: UTF-16 path (empty once deleted) and the number
// of pages its document has.
struct SpoolEntry {
  char16_t path[260];
  uint32_t pageCount;
};
static_assert(sizeof(SpoolEntry) == 524);
static_assert(offsetof(SpoolEntry, pageCount) == 520);

// Section ids in a spool file; pages are 1..n.
inline constexpr int32_t kSectionDocumentHeader = -2;
inline constexpr int32_t kSectionDocumentTrailer = -1;

inline constexpr uint32_t kOutputBufferSize = 0x100000;
inline constexpr uint32_t kConfigCopySize = QVENC_CONFIG_SIZE;

class RasterEncoder {
 public:
  explicit RasterEncoder(Platform& platform);
  RasterEncoder(const RasterEncoder&) = delete;
  RasterEncoder& operator=(const RasterEncoder&) = delete;
  virtual ~RasterEncoder();

  // ---- printer-specific operations, in this order, with their defaults
  virtual int32_t OpenJob() { return 0; }
  virtual int32_t CloseJob() { return 0; }
  virtual int32_t CreateJobState(const void* settings, uint32_t size, void** state);
  virtual void DestroyJobState(void* state) {}
  virtual int32_t CarryJobState(void* oldState, void* newState) { return 0; }
  virtual int32_t GetPrintableArea(void* state, int32_t width, int32_t height,
                                   PrintableRect* rect);
  virtual int32_t SelectSpoolMode(void* state) { return 0; }
  virtual int32_t WriteDocumentHeader(void* state) { return 0; }
  virtual int32_t WriteDocumentTrailer(void* state) { return 0; }
  virtual int32_t EndDocument(void* state) { return 0; }
  virtual int32_t PreparePage(void* state, int32_t page) { return 0; }
  virtual int32_t WritePageHeader(void* state, int32_t page, const BandDescriptor& band) {
    return 0;
  }
  virtual int32_t WritePageTrailer(void* state, int32_t page, const QvEncPageInfo& info) {
    return 0;
  }
  virtual int32_t EndPage(void* state, int32_t page) { return 0; }
  virtual int32_t ProcessBand(void* state, const BandDescriptor& band, int32_t firstRow,
                              int32_t rowCount) {
    return 0;
  }
  virtual int32_t FinishPageEarly(void* state) { return 0; }
  virtual int32_t NegotiateBandHeight(void* state, int32_t requested, int32_t* proposed);

  // ---- the five entry points' work
  int32_t Init(const QvEncConfig* config, QvEncWriteProc writeProc, void* context);
  int32_t ReInit(const QvEncConfig* config, QvEncWriteProc writeProc, void* context);
  int32_t PageData(const void* settings, uint32_t settingsSize, const QvEncPageInfo* info,
                   const void* rows);
  int32_t Exit();
  int32_t Abort();

  // ---- output
  // Appends to the output buffer, delivering full buffers as they fill.
  int32_t Write(const void* bytes, size_t length);
  // Hands the buffered bytes to the spool file or the callback.
  int32_t Flush();

  // ---- spooling
  // Sets the spool mode and copies of the next document (ignored while a
  // document is open); a change replays and discards the previous mode's files.
  int32_t SetSpoolMode(uint8_t mode, int32_t copies);
  // Replays what the spool mode still owes and deletes every spool file.
  int32_t DiscardSpool();

  // Read-only views for the printer class and for tests.
  const QvEncConfig& config() const { return *reinterpret_cast<const QvEncConfig*>(config_); }
  uint8_t spoolMode() const { return spoolMode_; }
  int32_t copies() const { return copies_; }
  bool aborted() const { return abort_ != 0; }
  bool documentOpen() const { return flags_ & kDocumentOpen; }
  bool pageOpen() const { return flags_ & kPageOpen; }
  uintptr_t printer() const { return printer_; }
  bool printerFullAccess() const { return printerFullAccess_; }
  const std::vector<uint8_t>& printerInfo() const { return printerInfo_; }
  const PrintableRect& printableRect() const { return rect_; }
  void* jobState() const { return state_; }
  int32_t bandHeight() const { return bandHeight_; }

 protected:
  Platform& platform() const { return platform_; }
  // Band buffering the printer class asks for: 0 off, -1 the whole printable
  // height, else a row count.
  void RequestBandHeight(int32_t rows) { requestedBand_ = rows; }
  int32_t documentCount() const { return documentCount_; }

 private:
  enum : uint8_t { kJobOpen = 1, kDocumentOpen = 2, kPageOpen = 4, kDocumentStarted = 8 };

  int32_t StartDocument(const QvEncPageInfo& info);
  int32_t StartPage(const QvEncPageInfo& info);
  int32_t SetUpPage(const QvEncPageInfo& info);
  int32_t SetUpBandBuffer();
  int32_t BandInput(const QvEncPageInfo& info, const uint8_t* rows);
  int32_t PassBufferedBand();
  int32_t EndOpenPage();
  int32_t EndOpenDocument();
  int32_t Finish(bool abort);
  void ReleaseAll();

 protected:
  // Releases the job state and every buffer; safe to call more than once.
  // The printer class calls it from its destructor so that its own
  // DestroyJobState frees the state.
  void ReleaseResources() { ReleaseAll(); }

 private:
  int32_t UpdateJobState(const void* settings, uint32_t size, const QvEncPageInfo& info);

  bool Spooling() const { return spoolMode_ != 0 && !replaying_; }
  int32_t OpenSpoolFile();
  int32_t EnsureFolder(std::u16string& path);
  int32_t OpenSection(int32_t id);
  int32_t CloseSection();
  int32_t Replay(uint32_t fileIndex, int32_t sectionId, int32_t repeat);
  void CloseSpoolFile();

  Platform& platform_;

  // page format
  uint8_t packing_ = 0;
  uint8_t colorSpace_ = 0;
  int32_t planes_ = 1;

  int32_t rowsRemaining_ = 0;
  int32_t printableRowsRemaining_ = 0;
  int32_t rowsInCall_ = 0;
  int32_t currentRow_ = 0;
  int32_t pageError_ = 0;  // page setup failure, repeated for the page's later bands

  BandDescriptor band_;
  QvEncPageInfo pageInfo_{};
  PrintableRect rect_;
  int32_t pageWidth_ = 0;
  int32_t pageHeight_ = 0;
  int32_t areaStatus_ = 0;  // last GetPrintableArea result

  QvEncWriteProc writeProc_ = nullptr;
  void* context_ = nullptr;

  uint8_t flags_ = 0;
  uint8_t spoolMode_ = 0;
  int32_t abort_ = 0;
  int32_t copies_ = 1;

  // band buffering
  int32_t requestedBand_ = 0;
  int32_t bandRowSize_ = 0;
  int32_t bandHeight_ = 0;  // 0: buffering off for this page
  MemoryBlock bandBuffer_;
  int32_t bandFill_ = 0;
  int32_t rowsPassed_ = 0;
  MemoryBlock invertBuffer_;  // inverted rows when the page is not buffered

  // spooling
  FileId spoolFile_ = kNoFile;
  MemoryBlock spoolList_;
  uint32_t spoolCount_ = 0;
  uint32_t spoolCurrent_ = 0;
  int64_t sectionStart_ = 0;
  uint32_t sectionBytes_ = 0;
  int32_t sectionId_ = 0;
  bool replaying_ = false;

  MemoryBlock output_;
  uint32_t outputFill_ = 0;

  MemoryBlock settingsCache_;
  void* state_ = nullptr;

  int32_t pageCount_ = 0;
  int32_t documentCount_ = 0;
  int32_t documentStartPending_ = 0;

  alignas(4) uint8_t config_[kConfigCopySize] = {};

  std::vector<uint8_t> printerInfo_;
  uintptr_t printer_ = 0;
  bool printerFullAccess_ = false;

  int32_t documentId_ = 0;
  int32_t pageId_ = 0;
};

}  // namespace qvx::enc
