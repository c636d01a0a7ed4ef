// The encoder's raster stage: one pipeline per job state, fed with the bands
// the printer class hands over.
#include <cstring>
#include <filesystem>
#include <string>
#include <memory>

#include "pipeline.h"
#include "print_mode.h"
#include "raster_stage.h"

namespace qvx::enc {
namespace {

class WriterSink final : public raster::ByteSink {
 public:
  explicit WriterSink(CommandWriter& out) : out_(out) {}
  int32_t Write(const uint8_t* bytes, size_t length) override {
    return length ? out_.Write(bytes, length) : 0;
  }

 private:
  CommandWriter& out_;
};

class PipelineStage final : public RasterStage {
 public:
  int32_t ProcessBand(JobState& job, const BandDescriptor& band, int32_t firstRow, int32_t rowCount,
                      CommandWriter& out) override {
    // A job state is replaced when the settings change; its tables, error rows
    // and swaths go with it. The record is compared as well as the address
    // because a new state may be allocated where an old one was.
    if (!pipeline_ || job_ != &job || std::memcmp(&settings_, &job.settings, sizeof settings_) != 0) {
      std::memcpy(&settings_, &job.settings, sizeof settings_);
      job_ = &job;
      const PrintModeRow& row = job.printMode ? *job.printMode : kPrintModeTable[job.printModeIndex];
      raster::ModeGeometry mode;
      mode.weave = row.weave, mode.nozzles = row.nozzles, mode.feed = row.feed;
      mode.passes = row.passes, mode.period = row.period, mode.mediaKey = row.mediaKey;
      pipeline_ = std::make_unique<raster::RasterPipeline>(
          raster::ReadRasterSettings(reinterpret_cast<const uint8_t*>(&job.settings), sizeof job.settings),
          mode, std::filesystem::path(std::u16string(job.colourTableFolder)));
    }
    raster::BandInput in;
    in.rows = band.rows;
    in.bytesPerRow = size_t(band.bytesPerRow);
    in.width = band.width;
    in.firstRow = firstRow;
    in.rowCount = rowCount;
    in.firstBand = job.bandsDone == 0;
    in.lastBand = job.bandsDone + 1 >= job.bandCount;
    WriterSink sink(out);
    pipeline_->lastInkMode = job.lastInkMode;
    const int32_t status = pipeline_->ProcessBand(in, sink);
    job.lastInkMode = pipeline_->lastInkMode;
    return status;
  }

 private:
  std::unique_ptr<raster::RasterPipeline> pipeline_;
  const JobState* job_ = nullptr;
  SettingsRecord settings_{};
};

}  // namespace

std::unique_ptr<RasterStage> MakeRasterStage() { return std::make_unique<PipelineStage>(); }

}  // namespace qvx::enc
