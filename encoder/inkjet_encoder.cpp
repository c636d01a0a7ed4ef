#include "inkjet_encoder.h"

#include <cstring>
#include <iterator>
#include <new>
#include <string>

namespace qvx::enc {
namespace {

JobState* Job(void* state) { return static_cast<JobState*>(state); }

void PlanBands(JobState& job, int32_t rows, int32_t bandRows) {
  job.bandCount = (rows + bandRows - 1) / bandRows;
  job.lastBandHeight = rows % bandRows == 0 ? bandRows : rows % bandRows;
}

const uint8_t kZeros[256] = {};
const uint8_t kJobStart[] = {0x1B, 0x7C, 0x01, 0x00, 0x09};
const uint8_t kReset[] = {0x1B, 0x40};
const uint8_t kFormFeed[] = {0x0C};

}  // namespace

InkjetEncoder::InkjetEncoder(Platform& platform, std::unique_ptr<RasterStage> stage)
    : RasterEncoder(platform),
      writer_(*this),
      stage_(stage ? std::move(stage) : MakeRasterStage()) {}

InkjetEncoder::~InkjetEncoder() { ReleaseResources(); }

int32_t InkjetEncoder::CreateJobState(const void* settings, uint32_t size, void** state) {
  if (settings == nullptr) return QVENC_E_JOB_NULL_SETTINGS;
  if (size != QVENC_SETTINGS_SIZE) return QVENC_E_JOB_SETTINGS_SIZE;
  void* memory = platform().Alloc(sizeof(JobState));
  if (memory == nullptr) return QVENC_E_JOB_ALLOC_FIRST;
  JobState* job = new (memory) JobState{};
  std::memcpy(&job->settings, settings, QVENC_SETTINGS_SIZE);
  SettingsRecord& s = job->settings;

  job->copies = s.dm.dmCopies > 0 ? s.dm.dmCopies : 1;
  job->mediaDependent = s.mediaDependentValue;
  s.mediaDependentValue = 0;
  s.borderless = IsBorderlessPaper(s.dm.dmPaperSize) ? 1 : 0;
  std::u16string tableFolder;
  if (platform().ColourTableFolder(tableFolder) &&
      tableFolder.size() < std::size(job->colourTableFolder))
    tableFolder.copy(job->colourTableFolder, tableFolder.size());

  auto allocate = [&](uint8_t*& to, size_t bytes) {
    to = static_cast<uint8_t*>(platform().Alloc(bytes));
    return to != nullptr;
  };
  auto fail = [&](int32_t status) {
    DestroyJobState(job);
    return status;
  };
  for (int i = kErrorRowsC; i <= kDiffusionState; ++i)
    if (!allocate(job->buffers[i], kJobBufferSizes[i])) return fail(kJobBufferStatus[i]);

  const int preset = QualityPreset(s.mediaType, s.qualityCode);
  job->qualityPreset = static_cast<uint8_t>(preset);
  job->resolution = ResolutionForPreset(preset);
  job->printModeCode = PrintModeCode(s, preset);
  job->mediaByte = MediaByte(s, job->printModeCode);
  job->printModeIndex = FindPrintModeRow(job->printModeCode, job->mediaByte);
  job->printMode = &kPrintModeTable[job->printModeIndex];
  job->passes = job->printMode->passes;
  s.privWord284 = job->printModeCode;
  s.printPreset = job->qualityPreset;
  s.sfQualityOption = job->mediaByte;  // the media byte takes this slot in the job's copy

  for (int i = kHalftoneOutput; i < kJobBufferCount; ++i)
    if (!allocate(job->buffers[i], kJobBufferSizes[i])) return fail(kJobBufferStatus[i]);
  job->swathSize = IsHighPassClass(job->printModeCode) ? kSwathBufferHigh : kSwathBufferLow;
  for (int i = 0; i < job->passes; ++i)
    if (!allocate(job->swaths[i], job->swathSize)) return fail(-1017);
  for (auto& tail : job->tail)
    if (!allocate(tail, kTailBufferSize)) return fail(-1018);
  *state = job;
  return 0;
}

void InkjetEncoder::DestroyJobState(void* state) {
  JobState* job = Job(state);
  if (job == nullptr) return;
  for (uint8_t* b : job->buffers) platform().Free(b);
  for (uint8_t* b : job->swaths) platform().Free(b);
  for (uint8_t* b : job->tail) platform().Free(b);
  job->~JobState();
  platform().Free(job);
}

// Nothing of the old state is needed by the new one.
int32_t InkjetEncoder::CarryJobState(void*, void*) { return 0; }

int32_t InkjetEncoder::GetPrintableArea(void* state, int32_t width, int32_t height,
                                        PrintableRect* rect) {
  JobState* job = Job(state);
  if (job == nullptr) return RasterEncoder::GetPrintableArea(state, width, height, rect);
  const int32_t r = job->resolution;
  const Margins m = PaperMargins(job->settings.dm.dmPaperSize, job->mediaDependent);
  const int32_t side = m.left * r / 600;
  const int32_t top = m.top * r / 600;
  const int32_t bottom = m.bottom * r / 600;
  if (!(2 * side < width && top + bottom < height)) return QVENC_E_NO_PRINTABLE_AREA;
  const PrintableRect area{side, top, width - side, height - bottom};
  const int32_t rows = area.bottom - area.top;
  if (job->settings.cmFlag == 1) {
    job->wholePage = 1;
    job->bandCount = 1;
    job->lastBandHeight = rows;
    RequestBandHeight(-1);
  } else {
    job->wholePage = 0;
    PlanBands(*job, rows, 96);
    RequestBandHeight(96);
  }
  if (rect == nullptr) return QVENC_E_NO_RECTANGLE;
  *rect = area;
  job->printable = area;
  return 0;
}

int32_t InkjetEncoder::NegotiateBandHeight(void* state, int32_t requested, int32_t* proposed) {
  JobState* job = Job(state);
  int32_t proposal = requested > 96 ? 96 : requested == 96 ? 48 : 0;
  if (proposal > 0 && job != nullptr) {
    PlanBands(*job, job->printable.bottom - job->printable.top, proposal);
    job->wholePage = 0;
  }
  if (proposed) *proposed = proposal;
  return 0;
}

int32_t InkjetEncoder::SelectSpoolMode(void* state) {
  JobState* job = Job(state);
  if (job == nullptr) return 0;
  const bool collate = job->settings.collateJob != 0;
  const bool reverse = job->settings.reverseJob != 0;
  uint8_t mode = 0;
  int32_t copies = job->copies;
  if (reverse)
    mode = collate ? 5 : 4;
  else if (copies > 1)
    mode = collate ? 3 : 1;
  else
    copies = 1;
  return SetSpoolMode(mode, copies);
}

int32_t InkjetEncoder::WriteDocumentHeader(void*) {
  for (size_t i = 0; i < kDocumentPadding / sizeof kZeros; ++i) {
    int32_t status = writer_.Write(kZeros, sizeof kZeros);
    if (status < 0) return status;
  }
  int32_t status = writer_.Write(kJobStart, sizeof kJobStart);
  if (status < 0) return status;
  return writer_.Write(kReset, sizeof kReset);
}

int32_t InkjetEncoder::WriteDocumentTrailer(void*) {
  int32_t status = writer_.Write(kReset, sizeof kReset);
  if (status < 0) return status;
  for (size_t i = 0; i < kDocumentPadding / sizeof kZeros; ++i) {
    status = writer_.Write(kZeros, sizeof kZeros);
    if (status < 0) return status;
  }
  return 0;
}

// Spooled copies and reverse order go out as soon as the document is closed.
int32_t InkjetEncoder::EndDocument(void*) { return documentOpen() ? 0 : DiscardSpool(); }

int32_t InkjetEncoder::PreparePage(void* state, int32_t page) {
  if (JobState* job = Job(state)) job->pageNumber = page;
  return 0;
}

int32_t InkjetEncoder::WritePageHeader(void* state, int32_t, const BandDescriptor&) {
  JobState* job = Job(state);
  if (job == nullptr) return 0;
  const size_t n = BuildPageHeader(job->settings, job->printModeCode, job->mediaByte,
                                   job->mediaDependent, pageHeader_);
  job->lastInkMode = InkModeByte(job->printModeCode);
  const int32_t status = writer_.Write(pageHeader_, n);
  job->bandsDone = 0;
  job->finishedEarly = 0;
  return status;
}

int32_t InkjetEncoder::WritePageTrailer(void* state, int32_t, const QvEncPageInfo&) {
  if (JobState* job = Job(state)) job->finishedEarly = 0;
  return writer_.Write(kFormFeed, sizeof kFormFeed);
}

int32_t InkjetEncoder::ProcessBand(void* state, const BandDescriptor& band, int32_t firstRow,
                                   int32_t rowCount) {
  JobState* job = Job(state);
  if (job == nullptr) return 0;
  const int32_t status = stage_->ProcessBand(*job, band, firstRow, rowCount, writer_);
  ++job->bandsDone;
  return status;
}

int32_t InkjetEncoder::FinishPageEarly(void* state) {
  JobState* job = Job(state);
  if (job == nullptr) return 0;
  job->finishedEarly = 1;
  static const QvEncPageInfo kNoInfo{};
  return WritePageTrailer(state, job->pageNumber, kNoInfo);
}

}  // namespace qvx::enc
