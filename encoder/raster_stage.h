// The raster stage: what turns a band of the printable area into swaths.
//
// How it plugs in. InkjetEncoder owns one RasterStage for the whole job and
// calls RasterStage::ProcessBand for every band of the printable area, in
// order, between the page header and the page trailer:
//  - band.rows points at the leftmost printable pixel of the band's first row
//    (24-bit RGB, byte 0 red); rows are band.bytesPerRow apart; band.width
//    pixels per row; band.height is the printable height of the whole page.
//  - firstRow is the band's first row counted from the printable top, rowCount
//    its rows. With the usual band plan every band has 96 rows except the
//    page's last (job.lastBandHeight); with job.wholePage the page is one band.
//  - job.bandsDone is 0 at the first band of each page (reset by the page
//    header) and counts the bands the encoder has handed over on the page, so
//    the last band is job.bandsDone + 1 == job.bandCount. It is incremented
//    after ProcessBand returns.
//  - job holds the settings copy, print mode code, media byte, print mode
//    table row, resolution, the printable rectangle and every work buffer
//    (allocated zero-filled when the job state is built, freed with it).
//  - Write command bytes through out; return its negative status on failure.
//
// The library that implements the stage provides MakeRasterStage() and, in its
// CMakeLists.txt, marks its target:
//   set_property(TARGET qvx_raster PROPERTY QVX_RASTER_STAGE ON)
// Without that the encoder links the default below, which emits nothing.
#pragma once

#include <cstdint>
#include <memory>

#include "command_writer.h"
#include "job_state.h"

namespace qvx::enc {

class RasterStage {
 public:
  virtual ~RasterStage() = default;
  virtual int32_t ProcessBand(JobState& job, const BandDescriptor& band, int32_t firstRow,
                              int32_t rowCount, CommandWriter& out) = 0;
};

// Emits nothing: the page frame alone.
class NullRasterStage final : public RasterStage {
 public:
  int32_t ProcessBand(JobState&, const BandDescriptor&, int32_t, int32_t,
                      CommandWriter&) override {
    return 0;
  }
};

// The job's stage; may throw std::bad_alloc.
std::unique_ptr<RasterStage> MakeRasterStage();

}  // namespace qvx::enc
