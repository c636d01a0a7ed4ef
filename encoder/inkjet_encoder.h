// InkjetEncoder: the printer class for this inkjet family. Builds the job
// state from the settings record, writes the document and page commands,
// chooses how documents are spooled and hands bands to the raster stage.
#pragma once

#include <memory>

#include "command_writer.h"
#include "job_state.h"
#include "print_mode.h"
#include "raster_encoder.h"
#include "raster_stage.h"

namespace qvx::enc {

class InkjetEncoder : public RasterEncoder {
 public:
  // stage null: the job's stage comes from MakeRasterStage().
  explicit InkjetEncoder(Platform& platform, std::unique_ptr<RasterStage> stage = nullptr);
  ~InkjetEncoder() override;

  int32_t CreateJobState(const void* settings, uint32_t size, void** state) override;
  void DestroyJobState(void* state) override;
  int32_t CarryJobState(void* oldState, void* newState) override;
  int32_t GetPrintableArea(void* state, int32_t width, int32_t height,
                           PrintableRect* rect) override;
  int32_t SelectSpoolMode(void* state) override;
  int32_t WriteDocumentHeader(void* state) override;
  int32_t WriteDocumentTrailer(void* state) override;
  int32_t EndDocument(void* state) override;
  int32_t PreparePage(void* state, int32_t page) override;
  int32_t WritePageHeader(void* state, int32_t page, const BandDescriptor& band) override;
  int32_t WritePageTrailer(void* state, int32_t page, const QvEncPageInfo& info) override;
  int32_t ProcessBand(void* state, const BandDescriptor& band, int32_t firstRow,
                      int32_t rowCount) override;
  int32_t FinishPageEarly(void* state) override;
  int32_t NegotiateBandHeight(void* state, int32_t requested, int32_t* proposed) override;

  JobState* job() const { return static_cast<JobState*>(jobState()); }

 private:
  CommandWriter writer_;
  std::unique_ptr<RasterStage> stage_;
  uint8_t pageHeader_[kPageHeaderMax] = {};  // page commands are filled in here
};

// Document framing bytes.
inline constexpr size_t kDocumentPadding = 3328;  // 13 blocks of 256 zero bytes

}  // namespace qvx::enc
