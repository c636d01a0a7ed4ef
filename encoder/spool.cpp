// The output buffer, spool files with their sections, and replay to the
// caller's callback in the order the spool mode asks for.
//
// Spool modes: 0 direct output; 1 copies uncollated (each page repeated as
// soon as it is finished); 3 copies collated; 4 reverse order, each page
// repeated; 5 reverse order, collated.
#include <algorithm>
#include <cstring>

#include "first_error.h"
#include "raster_encoder.h"

namespace qvx::enc {
namespace {

void PutU32(uint8_t* to, uint32_t v) {
  for (int i = 0; i < 4; ++i) to[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t GetU32(const uint8_t* from) {
  return from[0] | (from[1] << 8) | (from[2] << 16) | (static_cast<uint32_t>(from[3]) << 24);
}

}  // namespace

int32_t RasterEncoder::Write(const void* bytes, size_t length) {
  if (length == 0) return 0;
  if (!output_) return QVENC_E_OUTPUT_BUFFER;
  FirstError first;
  const auto* p = static_cast<const uint8_t*>(bytes);
  if (outputFill_ + length > kOutputBufferSize) first(Flush());
  while (length > kOutputBufferSize) {
    std::memcpy(output_.data(), p, kOutputBufferSize);
    outputFill_ = kOutputBufferSize;
    first(Flush());
    p += kOutputBufferSize;
    length -= kOutputBufferSize;
  }
  std::memcpy(output_.data() + outputFill_, p, length);
  outputFill_ += static_cast<uint32_t>(length);
  return first.status;
}

int32_t RasterEncoder::Flush() {
  if (outputFill_ == 0) return 0;
  int32_t status = 0;
  if (writeProc_ != nullptr) {
    if (Spooling()) {
      int64_t written =
          spoolFile_ == kNoFile ? -1 : platform_.WriteFile(spoolFile_, output_.data(), outputFill_);
      if (written != outputFill_) status = QVENC_E_SPOOL_WRITE;
      sectionBytes_ += outputFill_;
    } else if (!abort_) {
      status = writeProc_(output_.data(), outputFill_, context_);
    }
  }
  outputFill_ = 0;
  return status;
}

int32_t RasterEncoder::SetSpoolMode(uint8_t mode, int32_t copies) {
  if (flags_ & kDocumentOpen) return 0;
  if (mode == spoolMode_ && copies == copies_) return 0;
  // Files of the previous mode are replayed with the copies they were made for.
  int32_t status = spoolMode_ != 0 ? DiscardSpool() : 0;
  copies_ = copies;
  spoolMode_ = mode;
  return status;
}

int32_t RasterEncoder::DiscardSpool() {
  if (spoolMode_ == 0 && spoolCount_ == 0) return 0;
  FirstError first;
  if (outputFill_ > 0) first(Flush());
  const auto* list = reinterpret_cast<const SpoolEntry*>(spoolList_.data());
  const int32_t count = static_cast<int32_t>(spoolCount_);
  auto pages = [&](int32_t file) { return static_cast<int32_t>(list[file].pageCount); };
  if (count > 0) {
    switch (spoolMode_) {
      case 3:
        for (int32_t c = 0; c < copies_; ++c)
          for (int32_t f = 0; f < count; ++f) {
            first(Replay(f, kSectionDocumentHeader, 1));
            for (int32_t p = 1; p <= pages(f); ++p) first(Replay(f, p, 1));
            first(Replay(f, kSectionDocumentTrailer, 1));
          }
        break;
      case 4:
        first(Replay(0, kSectionDocumentHeader, 1));
        for (int32_t f = count - 1; f >= 0; --f)
          for (int32_t p = pages(f); p >= 1; --p) first(Replay(f, p, copies_));
        first(Replay(0, kSectionDocumentTrailer, 1));
        break;
      case 5:
        first(Replay(0, kSectionDocumentHeader, 1));
        for (int32_t c = 0; c < copies_; ++c)
          for (int32_t f = count - 1; f >= 0; --f)
            for (int32_t p = pages(f); p >= 1; --p) first(Replay(f, p, 1));
        first(Replay(0, kSectionDocumentTrailer, 1));
        break;
      default:  // 1: pages went out as their sections closed
        break;
    }
  }
  CloseSpoolFile();
  auto* entries = reinterpret_cast<SpoolEntry*>(spoolList_.data());
  for (uint32_t f = 0; f < spoolCount_; ++f) {
    if (entries[f].path[0] == 0) continue;
    platform_.RemoveFile(std::u16string(entries[f].path));
    entries[f].path[0] = 0;
  }
  spoolList_.Reset();
  spoolCount_ = 0;
  spoolCurrent_ = 0;
  return first.status;
}

void RasterEncoder::CloseSpoolFile() {
  if (spoolFile_ != kNoFile) platform_.CloseFile(spoolFile_);
  spoolFile_ = kNoFile;
}

int32_t RasterEncoder::OpenSpoolFile() {
  CloseSpoolFile();
  if (!spoolList_.Resize(sizeof(SpoolEntry) * (spoolCount_ + 1))) return QVENC_E_SPOOL_LIST;
  spoolCurrent_ = spoolCount_++;
  std::u16string folder;
  if (!platform_.CommonAppDataFolder(folder) || folder.empty()) return QVENC_E_SPOOL_FOLDER;
  const char16_t sep = platform_.PathSeparator();
  if (folder.back() != u'\\' && folder.back() != u'/') folder += sep;
  folder += u"Quorvel";
  folder += sep;
  folder += u"PrtDrv";
  EnsureFolder(folder);
  std::u16string path;
  if (!platform_.TempFileName(folder, u"QVXP", path)) return QVENC_E_SPOOL_TEMPNAME;
  SpoolEntry& entry = reinterpret_cast<SpoolEntry*>(spoolList_.data())[spoolCurrent_];
  if (path.size() >= std::size(entry.path)) {
    platform_.RemoveFile(path);
    return QVENC_E_SPOOL_TEMPNAME;
  }
  std::copy(path.begin(), path.end(), entry.path);
  entry.path[path.size()] = 0;
  spoolFile_ = platform_.CreateNewFile(path);
  if (spoolFile_ == kNoFile) return QVENC_E_SPOOL_CREATE;
  sectionStart_ = 0;
  sectionBytes_ = 0;
  return 0;
}

// Creates the folder and any missing parents, each open to every user.
int32_t RasterEncoder::EnsureFolder(std::u16string& path) {
  if (path.empty() || platform_.PathExists(path)) return 0;
  const size_t cut = path.find_last_of(u"\\/");
  if (cut == std::u16string::npos) return 0;
  std::u16string parent = path.substr(0, cut);
  EnsureFolder(parent);
  if (platform_.CreateFolder(path)) platform_.GrantEveryoneAccess(path);
  return 0;
}

int32_t RasterEncoder::OpenSection(int32_t id) {
  sectionId_ = id;
  if (!Spooling() || spoolFile_ == kNoFile) return 0;
  sectionBytes_ = 0;
  sectionStart_ = platform_.Tell(spoolFile_);
  platform_.Seek(spoolFile_, sectionStart_ + 8);
  return 0;
}

int32_t RasterEncoder::CloseSection() {
  if (!Spooling() || spoolFile_ == kNoFile) return 0;
  const int64_t end = platform_.Tell(spoolFile_);
  uint8_t header[8];
  PutU32(header, static_cast<uint32_t>(sectionId_));
  PutU32(header + 4, sectionBytes_);
  platform_.Seek(spoolFile_, sectionStart_);
  const int64_t written = platform_.WriteFile(spoolFile_, header, sizeof header);
  sectionBytes_ = 0;
  platform_.Seek(spoolFile_, end);
  if (written != static_cast<int64_t>(sizeof header)) return QVENC_E_SPOOL_HEADER;
  if (spoolMode_ == 1) {
    const int32_t id = sectionId_;
    return Replay(spoolCurrent_, id, id < 0 ? 1 : copies_);
  }
  return 0;
}

int32_t RasterEncoder::Replay(uint32_t fileIndex, int32_t sectionId, int32_t repeat) {
  if (fileIndex >= spoolCount_) return QVENC_E_SPOOL_REOPEN;
  int64_t resume = -1;
  if (spoolFile_ != kNoFile && fileIndex == spoolCurrent_) {
    resume = platform_.Tell(spoolFile_);  // still being written: come back afterwards
  } else {
    CloseSpoolFile();
    const SpoolEntry& entry = reinterpret_cast<const SpoolEntry*>(spoolList_.data())[fileIndex];
    spoolFile_ = platform_.OpenForReading(std::u16string(entry.path));
    if (spoolFile_ == kNoFile) return QVENC_E_SPOOL_REOPEN;
    spoolCurrent_ = fileIndex;
  }
  replaying_ = true;
  int32_t status = QVENC_E_SPOOL_SECTION;
  int64_t at = 0;
  while (platform_.Seek(spoolFile_, at)) {
    uint8_t header[8];
    if (platform_.ReadFile(spoolFile_, header, sizeof header) != 8) break;
    const int32_t id = static_cast<int32_t>(GetU32(header));
    const uint32_t count = GetU32(header + 4);
    const int64_t data = at + 8;
    if (id != sectionId) {
      at = data + count;
      continue;
    }
    status = 0;
    bool cut = false;
    for (int32_t n = 0; n < repeat && status >= 0 && !cut; ++n) {
      if (!platform_.Seek(spoolFile_, data)) break;
      uint32_t remaining = count;
      while (remaining > 0) {
        const uint32_t chunk = std::min(remaining, kOutputBufferSize);
        const int64_t got = platform_.ReadFile(spoolFile_, output_.data(), chunk);
        if (got <= 0) {
          cut = true;
          break;
        }
        if (!abort_ && writeProc_ != nullptr) {
          status = writeProc_(output_.data(), static_cast<uint32_t>(got), context_);
          if (status < 0) break;
        }
        remaining -= static_cast<uint32_t>(got);
        if (got < chunk) {
          cut = true;
          break;
        }
      }
    }
    break;
  }
  replaying_ = false;
  if (resume >= 0) platform_.Seek(spoolFile_, resume);
  return status;
}

}  // namespace qvx::enc
