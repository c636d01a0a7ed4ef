// A job on a fault-injecting platform with a raster stage that records bands.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "api.h"
#include "encoder_test_support.h"
#include "inkjet_encoder.h"

namespace qvx::enc::test {

// The system platform with a private spool root and switches to fail calls.
class FaultPlatform : public Platform {
 public:
  explicit FaultPlatform(std::filesystem::path root) : root_(std::move(root)) {
    std::filesystem::create_directories(root_);
  }

  void* Alloc(size_t bytes) override {
    ++allocations;
    if (failAllocation && failAllocation(allocations, bytes)) return nullptr;
    void* p = Platform::Alloc(bytes);
    if (p) ++live;
    return p;
  }
  void Free(void* block) override {
    if (block) --live;
    Platform::Free(block);
  }
  bool CommonAppDataFolder(std::u16string& folder) override {
    if (failFolder) return false;
    folder = root_.u16string();
    return true;
  }
  bool TempFileName(const std::u16string& folder, const std::u16string& prefix,
                    std::u16string& path) override {
    if (failTempName) return false;
    ++spoolFiles;
    return Platform::TempFileName(folder, prefix, path);
  }
  FileId CreateNewFile(const std::u16string& path) override {
    return failCreate ? kNoFile : Platform::CreateNewFile(path);
  }
  int64_t WriteFile(FileId file, const void* bytes, uint32_t count) override {
    if (failWritesFrom > 0 && ++writes >= failWritesFrom) return count / 2;
    return Platform::WriteFile(file, bytes, count);
  }

  int64_t ReadFile(FileId file, void* bytes, uint32_t count) override {
    return failReads ? -1 : Platform::ReadFile(file, bytes, count);
  }

  bool ColourTableFolder(std::u16string& folder) override {
    if (tableFolder.empty()) return false;
    folder = tableFolder;
    return true;
  }

  // A printer double: the spooler is not part of these tests.
  uintptr_t OpenPrinterByName(const char16_t* name, bool withDefaults) override {
    printerOpens.emplace_back(name, withDefaults);
    return withDefaults && refuseFullAccess ? 0 : 0x5150;
  }
  bool GetPrinterInfo(uintptr_t, std::vector<uint8_t>& info) override {
    info.assign(136, 0xAB);
    return true;
  }
  void ClosePrinter(uintptr_t printer) override { printersClosed.push_back(printer); }

  std::filesystem::path SpoolFolder() const { return root_ / "Quorvel" / "PrtDrv"; }
  // Files left in the spool folder.
  int LeftOver() const {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(SpoolFolder(), ec);
         !ec && it != std::filesystem::directory_iterator(); ++it)
      ++n;
    return n;
  }

  std::function<bool(int index, size_t bytes)> failAllocation;
  bool failFolder = false;
  std::u16string tableFolder;  // where colour table files are looked for; empty: none
  bool failTempName = false;
  bool failCreate = false;
  int failWritesFrom = 0;  // 1-based spool write that comes up short, and all after it
  int writes = 0;
  int allocations = 0;
  int live = 0;
  int spoolFiles = 0;
  bool refuseFullAccess = false;
  bool failReads = false;
  std::vector<std::pair<std::u16string, bool>> printerOpens;
  std::vector<uintptr_t> printersClosed;

 private:
  std::filesystem::path root_;
};


struct BandCall {
  int32_t firstRow, rowCount, width, bytesPerRow;
  uint8_t firstPixel[3], lastPixel[3];  // first pixel of the first and of the last row
  int32_t page, bandsDone;
};

class RecordingStage : public RasterStage {
 public:
  explicit RecordingStage(std::vector<BandCall>& calls) : calls_(calls) {}
  int32_t ProcessBand(JobState& job, const BandDescriptor& band, int32_t firstRow,
                      int32_t rowCount, CommandWriter&) override {
    BandCall c{firstRow, rowCount, band.width, band.bytesPerRow, {}, {}, job.pageNumber,
               job.bandsDone};
    std::memcpy(c.firstPixel, band.rows, 3);
    std::memcpy(c.lastPixel, band.rows + static_cast<size_t>(band.bytesPerRow) * (rowCount - 1), 3);
    calls_.push_back(c);
    return 0;
  }

 private:
  std::vector<BandCall>& calls_;
};

class EncoderJob : public ::testing::Test {
 protected:
  EncoderJob()
      : platform(std::filesystem::path(::testing::TempDir()) /
                 ("qvxenc-" + std::string(::testing::UnitTest::GetInstance()
                                              ->current_test_info()
                                              ->name()))) {}
  ~EncoderJob() override {
    if (handle) EncAbort(handle);
    std::error_code ec;
    std::filesystem::remove_all(platform.SpoolFolder().parent_path().parent_path(), ec);
  }

  int32_t Init() {
    auto encoder =
        std::make_unique<InkjetEncoder>(platform, std::make_unique<RecordingStage>(bands));
    encoder_ = encoder.get();
    return EncInitWith(std::move(encoder), &handle, nullptr, CaptureWrite, &capture);
  }
  // Delivers a whole page in bands of bandRows; returns the first failure.
  int32_t Page(const SettingsRecord& s, int32_t documentId, int32_t pageId,
               int32_t bandRows = 100, int32_t width = 200, int32_t height = 300) {
    for (int32_t row = 0; row < height; row += bandRows) {
      QvEncPageInfo info =
          PageInfo(documentId, pageId, std::min(bandRows, height - row), width, height);
      auto rows = Rows(info, row);
      int32_t status = EncPageData(handle, &s, sizeof s, &info, rows.data());
      if (status < 0) return status;
    }
    return 0;
  }
  int32_t Exit() {
    int32_t status = EncExit(handle);
    handle = nullptr;
    return status;
  }
  int32_t Abort() {
    int32_t status = EncAbort(handle);
    handle = nullptr;
    return status;
  }
  std::string Stream() const { return Join(Tokens(capture.bytes)); }

  FaultPlatform platform;
  Capture capture;
  std::vector<BandCall> bands;
  QvEncHandle handle = nullptr;
  InkjetEncoder* encoder_ = nullptr;  // valid until Exit or Abort
};

}  // namespace qvx::enc::test
