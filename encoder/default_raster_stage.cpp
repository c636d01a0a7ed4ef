// Used when no raster library provides the stage.
#include "raster_stage.h"

namespace qvx::enc {

std::unique_ptr<RasterStage> MakeRasterStage() { return std::make_unique<NullRasterStage>(); }

}  // namespace qvx::enc
