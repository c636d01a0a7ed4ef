// Job, document and page sequencing, row input and band buffering.
#include "first_error.h"
#include "raster_encoder.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace qvx::enc {
namespace {

bool ValidGeometry(const QvEncPageInfo& info) {
  return info.pageWidth > 0 && info.pageWidth <= QVENC_MAX_PAGE_PIXELS &&
         info.pageHeight > 0 && info.pageHeight <= QVENC_MAX_PAGE_PIXELS &&
         info.rowBits > 0 && info.rowBits <= QVENC_MAX_ROW_BITS && info.bandRows >= 0 &&
         info.bandRows <= QVENC_MAX_PAGE_PIXELS;
}

// Colour space name, bounded by its 11-byte field.
int ColorSpaceBit(const char (&name)[11]) {
  size_t n = 0;
  while (n < sizeof name && name[n] != 0) ++n;
  std::string s(name, n);
  if (s == "DeviceRGB") return 1;
  if (s == "DeviceCMYK") return 2;
  if (s == "DeviceGray") return 4;
  return 0;
}

void CopyInverted(uint8_t* to, const uint8_t* from, size_t n) {
  for (size_t i = 0; i < n; ++i) to[i] = static_cast<uint8_t>(~from[i]);
}

}  // namespace

RasterEncoder::RasterEncoder(Platform& platform)
    : platform_(platform),
      bandBuffer_(platform),
      invertBuffer_(platform),
      spoolList_(platform),
      output_(platform),
      settingsCache_(platform) {}

RasterEncoder::~RasterEncoder() { ReleaseAll(); }

int32_t RasterEncoder::CreateJobState(const void*, uint32_t, void** state) {
  if (state) *state = nullptr;
  return 0;
}

int32_t RasterEncoder::GetPrintableArea(void*, int32_t width, int32_t height,
                                        PrintableRect* rect) {
  if (rect) *rect = PrintableRect{0, 0, width, height};
  return 0;
}

int32_t RasterEncoder::NegotiateBandHeight(void*, int32_t, int32_t* proposed) {
  if (proposed) *proposed = 0;
  return 0;
}

// ---- job

int32_t RasterEncoder::Init(const QvEncConfig* config, QvEncWriteProc writeProc, void* context) {
  writeProc_ = writeProc;
  context_ = context;
  copies_ = 1;
  pageCount_ = documentCount_ = documentStartPending_ = 0;
  documentId_ = pageId_ = 0;
  flags_ = 0;
  spoolMode_ = 0;
  abort_ = 0;
  if (config) {
    uint32_t n = std::min<uint32_t>(config->size, kConfigCopySize);
    std::memcpy(config_, config, n);
  }
  // The name is bounded by its field even when the caller left out the NUL.
  std::u16string name;
  for (size_t i = 4; i + 1 < kConfigCopySize; i += 2) {
    char16_t c = static_cast<char16_t>(config_[i] | (config_[i + 1] << 8));
    if (c == 0) break;
    name += c;
  }
  if (!name.empty()) {
    printer_ = platform_.OpenPrinterByName(name.c_str(), true);
    printerFullAccess_ = printer_ != 0;
    if (!printer_) printer_ = platform_.OpenPrinterByName(name.c_str(), false);
    if (printer_ && !platform_.GetPrinterInfo(printer_, printerInfo_)) printerInfo_.clear();
  }
  uint32_t size = kConfigCopySize;
  std::memcpy(config_, &size, 4);
  if (!output_.Allocate(kOutputBufferSize)) return QVENC_E_OUTPUT_BUFFER;
  outputFill_ = 0;
  flags_ = kJobOpen;
  int32_t status = OpenJob();
  if (status < 0) Finish(false);
  return status;
}

int32_t RasterEncoder::ReInit(const QvEncConfig* config, QvEncWriteProc writeProc,
                              void* context) {
  if (writeProc) writeProc_ = writeProc;
  if (context) context_ = context;
  if (config) {
    std::memset(config_, 0, sizeof config_);
    std::memcpy(config_, config, std::min<uint32_t>(config->size, kConfigCopySize));
  }
  return 0;
}

int32_t RasterEncoder::Exit() { return Finish(false); }

int32_t RasterEncoder::Abort() { return Finish(true); }

int32_t RasterEncoder::Finish(bool abort) {
  // An aborted job sends nothing more, not even the trailers of what it ends.
  if (abort) abort_ = 1;
  FirstError first;
  if (flags_ & kPageOpen) first(EndOpenPage());
  if (flags_ & kDocumentOpen) first(EndOpenDocument());
  int32_t flushed = Flush();
  int32_t discarded = DiscardSpool();
  int32_t closed = 0;
  if (!abort) {
    first(flushed);
    first(discarded);
    closed = CloseJob();
  }
  ReleaseAll();
  flags_ = 0;
  return first.status < 0 ? first.status : closed;
}

void RasterEncoder::ReleaseAll() {
  CloseSpoolFile();
  if (printer_) platform_.ClosePrinter(printer_);
  printer_ = 0;
  settingsCache_.Reset();
  if (state_) DestroyJobState(state_);
  state_ = nullptr;
  output_.Reset();
  outputFill_ = 0;
  bandBuffer_.Reset();
  bandHeight_ = 0;
  invertBuffer_.Reset();
  printerInfo_.clear();
  printerInfo_.shrink_to_fit();
}

// ---- page data

int32_t RasterEncoder::PageData(const void* settings, uint32_t settingsSize,
                                const QvEncPageInfo* info, const void* rows) {
  if (info == nullptr) return QVENC_E_NULL_PAGEINFO;
  if (!ValidGeometry(*info)) return QVENC_E_PAGE_GEOMETRY;
  const bool newDocument = !(flags_ & kDocumentStarted) || info->documentId != documentId_;
  const bool newPage = newDocument || info->pageId != pageId_;

  // A page cut short is reported, but the next one still starts cleanly.
  bool shortPage = false;
  if (newDocument || newPage) {
    if ((flags_ & kDocumentStarted) && (flags_ & kPageOpen)) {
      int32_t status = EndOpenPage();
      shortPage = status == QVENC_E_PAGE_INCOMPLETE;
      if (status < 0 && !shortPage) return status;
    }
    int32_t status = UpdateJobState(settings, settingsSize, *info);
    if (status < 0) return status;
    if (newDocument) {
      if (!documentStartPending_) documentStartPending_ = 1;
      if ((flags_ & kDocumentOpen) && !(flags_ & kPageOpen)) {
        status = EndOpenDocument();
        if (status < 0) return status;
      }
      if (spoolMode_ == 3 && !(flags_ & kDocumentOpen)) {
        status = DiscardSpool();
        if (status < 0) return status;
      }
    }
    if (documentStartPending_) {
      status = StartDocument(*info);
      if (status < 0) return status;
    }
    if (newPage) {
      status = StartPage(*info);
      if (status < 0) return status;
    }
  }
  int32_t status = BandInput(*info, static_cast<const uint8_t*>(rows));
  return shortPage && status >= 0 ? QVENC_E_PAGE_INCOMPLETE : status;
}

int32_t RasterEncoder::UpdateJobState(const void* settings, uint32_t size,
                                      const QvEncPageInfo& info) {
  if (settings == nullptr) return QVENC_E_NULL_SETTINGS;
  const bool cached = settingsCache_ && settingsCache_.size() == size &&
                      std::memcmp(settingsCache_.data(), settings, size) == 0;
  if (!cached) {
    void* fresh = nullptr;
    int32_t status = CreateJobState(settings, size, &fresh);
    if (status < 0) return status;
    if (!state_) {
      documentStartPending_ = 1;
    } else {
      status = CarryJobState(state_, fresh);
      if (status < 0) {
        if (fresh) DestroyJobState(fresh);
        return status;
      }
    }
    if ((!settingsCache_ || settingsCache_.size() != size) && !settingsCache_.Allocate(size)) {
      if (fresh) DestroyJobState(fresh);
      return QVENC_E_SETTINGS_CACHE;
    }
    std::memcpy(settingsCache_.data(), settings, size);
    if (state_) DestroyJobState(state_);
    state_ = fresh;
  } else if (info.pageWidth == pageWidth_ && info.pageHeight == pageHeight_ && areaStatus_ >= 0) {
    return 0;
  }
  // The printable area follows the page: recomputed for a new state and
  // whenever the page size changes under the same settings.
  pageWidth_ = info.pageWidth;
  pageHeight_ = info.pageHeight;
  rect_ = PrintableRect{};
  areaStatus_ = GetPrintableArea(state_, pageWidth_, pageHeight_, &rect_);
  return areaStatus_ < 0 ? areaStatus_ : 0;
}

int32_t RasterEncoder::StartDocument(const QvEncPageInfo& info) {
  ++documentCount_;
  pageCount_ = 0;
  documentId_ = info.documentId;
  documentStartPending_ = 0;
  int32_t status = SelectSpoolMode(state_);
  if (status < 0) return status;
  if (spoolMode_ != 0) {
    status = OpenSpoolFile();
    if (status < 0) return status;
  }
  OpenSection(kSectionDocumentHeader);
  flags_ |= kDocumentOpen | kDocumentStarted;
  status = WriteDocumentHeader(state_);
  if (status < 0) {
    flags_ &= ~kDocumentOpen;
    return status;
  }
  FirstError first;
  first(Flush());
  first(CloseSection());
  return first.status;
}

int32_t RasterEncoder::StartPage(const QvEncPageInfo& info) {
  ++pageCount_;
  pageId_ = info.pageId;
  pageError_ = SetUpPage(info);
  if (pageError_ < 0) return pageError_;
  int32_t status = PreparePage(state_, pageCount_);
  if (status < 0) return pageError_ = status;
  OpenSection(pageCount_);
  flags_ |= kPageOpen;
  status = WritePageHeader(state_, pageCount_, band_);
  if (status < 0) {
    flags_ &= ~kPageOpen;
    pageError_ = status;
  }
  return status;
}

int32_t RasterEncoder::SetUpPage(const QvEncPageInfo& info) {
  switch (info.rasterFormat) {
    case 1: packing_ = 1; break;
    case 2: packing_ = 2; break;
    case 3: packing_ = 4; break;
    case 4: packing_ = 8; break;
    default: return QVENC_E_RASTER_FORMAT;
  }
  planes_ = info.rasterFormat == 3 ? info.planeCount : 1;
  if (packing_ != 2) return QVENC_E_RASTER_UNSUPPORTED;
  colorSpace_ = static_cast<uint8_t>(ColorSpaceBit(info.colorSpace));
  if (colorSpace_ == 0) return QVENC_E_COLOR_SPACE;
  if (colorSpace_ != 1) return QVENC_E_COLOR_UNSUPPORTED;
  if (info.pageFlags & 1) return QVENC_E_PAGE_FLAGS;
  if (areaStatus_ < 0) return areaStatus_;
  // A printer class may hand back any rectangle: it has to lie on the page.
  if (rect_.left < 0 || rect_.top < 0 || rect_.right <= rect_.left ||
      rect_.bottom <= rect_.top || rect_.right > info.pageWidth ||
      rect_.bottom > info.pageHeight)
    return QVENC_E_PAGE_GEOMETRY;
  if (static_cast<int64_t>(rect_.right) * 24 > info.rowBits) return QVENC_E_ROW_TOO_SHORT;

  band_.reserved = 0;
  band_.width = rect_.right - rect_.left;
  band_.height = printableRowsRemaining_ = rect_.bottom - rect_.top;
  band_.bytesPerRow = (info.rowBits + 7) / 8;
  band_.planes = 1;
  band_.bitsPerPixel = 24;
  band_.rows = nullptr;
  rowsRemaining_ = info.pageHeight;
  pageInfo_ = info;
  return SetUpBandBuffer();
}

int32_t RasterEncoder::SetUpBandBuffer() {
  bandFill_ = 0;
  rowsPassed_ = 0;
  if (requestedBand_ == 0) {
    bandHeight_ = 0;
    return 0;
  }
  int32_t wanted = requestedBand_ == -1 ? band_.height : requestedBand_;
  const int32_t rowSize = band_.width * 3;
  while (!bandBuffer_ || rowSize != bandRowSize_ || wanted != bandHeight_) {
    bandBuffer_.Reset();
    if (wanted > 0 && bandBuffer_.Allocate(static_cast<size_t>(rowSize) * wanted)) {
      bandRowSize_ = rowSize;
      bandHeight_ = wanted;
      break;
    }
    int32_t proposal = 0;
    int32_t status = NegotiateBandHeight(state_, wanted, &proposal);
    if (status < 0) return status;
    // An equal proposal would only fail again.
    if (proposal < 0 || proposal >= wanted) return QVENC_E_BAND_BUFFER;
    if (proposal == 0) {
      bandHeight_ = 0;
      return 0;
    }
    wanted = proposal;
  }
  return 0;
}

int32_t RasterEncoder::BandInput(const QvEncPageInfo& info, const uint8_t* rows) {
  if (!(flags_ & kPageOpen)) return pageError_;
  const int32_t r = std::min(rowsRemaining_, info.bandRows);
  if (r <= 0) return 0;
  rowsRemaining_ -= r;
  rowsInCall_ = r;
  currentRow_ = pageHeight_ - rowsRemaining_ - r;
  const int32_t skip = std::max(0, rect_.top - currentRow_);
  const int32_t usable = std::min(r - skip, printableRowsRemaining_);
  if (usable <= 0) return 0;
  if (rows == nullptr) return QVENC_E_NULL_ROWS;
  // Each call brings its own row length; it must reach the printable right edge.
  if (static_cast<int64_t>(rect_.right) * 24 > info.rowBits) return QVENC_E_ROW_TOO_SHORT;
  const size_t stride = static_cast<size_t>(info.rowBits + 7) / 8;
  const int32_t firstRow = currentRow_ + skip - rect_.top;
  printableRowsRemaining_ -= usable;
  const uint8_t* source = rows + stride * skip + static_cast<size_t>(rect_.left) * 3;
  const size_t rowBytes = static_cast<size_t>(band_.width) * 3;
  const bool invert = info.invertRows != 0;

  if (bandHeight_ == 0) {
    BandDescriptor band = band_;
    band.rows = source;
    band.bytesPerRow = static_cast<int32_t>(stride);
    if (invert) {
      // Inverted into our own buffer: the caller's rows are read only.
      const size_t need = rowBytes * usable;
      if (invertBuffer_.size() < need && !invertBuffer_.Allocate(need)) return QVENC_E_BAND_BUFFER;
      for (int32_t i = 0; i < usable; ++i)
        CopyInverted(invertBuffer_.data() + rowBytes * i, source + stride * i, rowBytes);
      band.rows = invertBuffer_.data();
      band.bytesPerRow = static_cast<int32_t>(rowBytes);
    }
    return ProcessBand(state_, band, firstRow, usable);
  }

  int32_t status = 0;
  for (int32_t i = 0; i < usable; ++i) {
    uint8_t* to = bandBuffer_.data() + rowBytes * bandFill_;
    if (invert)
      CopyInverted(to, source + stride * i, rowBytes);
    else
      std::memcpy(to, source + stride * i, rowBytes);
    if (++bandFill_ == bandHeight_) {
      status = PassBufferedBand();
      if (status < 0) return status;
    }
  }
  if (printableRowsRemaining_ == 0 && bandFill_ > 0) status = PassBufferedBand();
  return status;
}

int32_t RasterEncoder::PassBufferedBand() {
  BandDescriptor band = band_;
  band.rows = bandBuffer_.data();
  band.bytesPerRow = bandRowSize_;
  const int32_t count = bandFill_;
  const int32_t first = rowsPassed_;
  rowsPassed_ += count;
  bandFill_ = 0;
  return ProcessBand(state_, band, first, count);
}

int32_t RasterEncoder::EndOpenPage() {
  FirstError first;
  // A page cut short still gets what arrived and its trailer, so the printer
  // ejects the sheet; the caller learns that rows were missing.
  const bool incomplete = printableRowsRemaining_ > 0;
  if (incomplete && bandHeight_ > 0 && bandFill_ > 0) first(PassBufferedBand());
  int32_t status = WritePageTrailer(state_, pageCount_, pageInfo_);
  flags_ &= ~kPageOpen;
  if (status < 0) return status;
  std::memset(&pageInfo_, 0, sizeof pageInfo_);
  first(Flush());
  first(CloseSection());
  if (spoolList_ && spoolCurrent_ < spoolCount_)
    reinterpret_cast<SpoolEntry*>(spoolList_.data())[spoolCurrent_].pageCount =
        static_cast<uint32_t>(pageCount_);
  status = EndPage(state_, pageCount_);
  first(status);
  printableRowsRemaining_ = 0;
  if (first.status < 0) return first.status;
  return incomplete ? QVENC_E_PAGE_INCOMPLETE : status;
}

int32_t RasterEncoder::EndOpenDocument() {
  OpenSection(kSectionDocumentTrailer);
  int32_t status = WriteDocumentTrailer(state_);
  flags_ &= ~kDocumentOpen;
  if (status < 0) return status;
  // The trailer's delivery can fail like any other write; report it.
  FirstError first;
  first(Flush());
  first(CloseSection());
  first(EndDocument(state_));
  return first.status;
}

}  // namespace qvx::enc
