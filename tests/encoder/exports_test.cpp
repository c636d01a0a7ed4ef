// The built library through its five exports, loaded as the rendering filter
// loads it: QVXENC.DLL under Wine, libqvxenc.so natively.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "encoder_test_support.h"
#include "test_paths.h"

#ifdef _WIN32
#include <windows.h>
#include <shlobj.h>
#else
#include <dlfcn.h>
#endif

namespace qvx::enc::test {
namespace {

using InitFn = int32_t(QVENC_CALL*)(QvEncHandle*, const QvEncConfig*, QvEncWriteProc, void*);
using ReInitFn = int32_t(QVENC_CALL*)(QvEncHandle, const QvEncConfig*, QvEncWriteProc, void*);
using PageDataFn = int32_t(QVENC_CALL*)(QvEncHandle, const void*, uint32_t, const QvEncPageInfo*,
                                        const void*);
using EndFn = int32_t(QVENC_CALL*)(QvEncHandle);

struct Library {
  InitFn init = nullptr;
  ReInitFn reinit = nullptr;
  PageDataFn pageData = nullptr;
  EndFn exit = nullptr;
  EndFn abort = nullptr;

  Library() {
#ifdef _WIN32
    module_ = ::LoadLibraryW(qvx::test::BinaryPath("bin/QVXENC.DLL").wstring().c_str());
    auto find = [&](const char* name) {
      return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module_), name));
    };
#else
    module_ = ::dlopen(qvx::test::BinaryPath("lib/libqvxenc.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto find = [&](const char* name) { return module_ ? ::dlsym(module_, name) : nullptr; };
#endif
    init = reinterpret_cast<InitFn>(find("QvEncInit"));
    reinit = reinterpret_cast<ReInitFn>(find("QvEncReInit"));
    pageData = reinterpret_cast<PageDataFn>(find("QvEncPageData"));
    exit = reinterpret_cast<EndFn>(find("QvEncExit"));
    abort = reinterpret_cast<EndFn>(find("QvEncAbort"));
  }
  ~Library() {
#ifdef _WIN32
    if (module_) ::FreeLibrary(static_cast<HMODULE>(module_));
#else
    if (module_) ::dlclose(module_);
#endif
  }
  bool complete() const { return init && reinit && pageData && exit && abort; }

 private:
  void* module_ = nullptr;
};

std::filesystem::path SpoolFolder() {
#ifdef _WIN32
  wchar_t path[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path);
  return std::filesystem::path(path) / "Quorvel" / "PrtDrv";
#else
  return "/tmp/Quorvel/PrtDrv";
#endif
}

std::set<std::filesystem::path> SpoolFiles() {
  std::set<std::filesystem::path> files;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(SpoolFolder(), ec);
       !ec && it != std::filesystem::directory_iterator(); ++it)
    files.insert(it->path());
  return files;
}

class Exports : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(lib.complete()); }

  int32_t Page(QvEncHandle h, const SettingsRecord& s, int32_t doc, int32_t page) {
    for (int32_t row = 0; row < 300; row += 150) {
      QvEncPageInfo info = PageInfo(doc, page, 150);
      auto rows = Rows(info, row);
      int32_t status = lib.pageData(h, &s, sizeof s, &info, rows.data());
      if (status < 0) return status;
    }
    return 0;
  }

  Library lib;
  Capture capture;
};

TEST_F(Exports, JobOfTwoDocuments) {
  QvEncHandle h = nullptr;
  QvEncConfig config{};
  config.size = sizeof config;
  ASSERT_EQ(lib.init(&h, &config, CaptureWrite, &capture), 0);
  ASSERT_NE(h, nullptr);
  SettingsRecord s = Settings();
  ASSERT_EQ(Page(h, s, 1, 1), 0);
  s.dm.dmPaperSize = 1;
  ASSERT_EQ(Page(h, s, 1, 2), 0);
  ASSERT_EQ(Page(h, s, 2, 1), 0);
  EXPECT_EQ(lib.exit(h), 0);
  EXPECT_EQ(Join(Tokens(capture.bytes)), "H p2 p1 T H p1 T");
}

TEST_F(Exports, PrinterThatCannotBeOpenedIsNoError) {
  QvEncConfig config{};
  config.size = sizeof config;
  std::memcpy(config.printerName, u"No Such Printer", 32);
  QvEncHandle h = nullptr;
  ASSERT_EQ(lib.init(&h, &config, CaptureWrite, &capture), 0);
  ASSERT_EQ(Page(h, Settings(), 1, 1), 0);
  EXPECT_EQ(lib.exit(h), 0);
  EXPECT_EQ(Join(Tokens(capture.bytes)), "H p2 T");
}

TEST_F(Exports, StatusCodesAtTheBoundary) {
  EXPECT_EQ(lib.pageData(nullptr, nullptr, 0, nullptr, nullptr), -20);
  EXPECT_EQ(lib.exit(nullptr), -21);
  EXPECT_EQ(lib.abort(nullptr), -22);
  EXPECT_EQ(lib.reinit(nullptr, nullptr, nullptr, nullptr), -27);
  QvEncHandle h = nullptr;
  ASSERT_EQ(lib.init(&h, nullptr, CaptureWrite, &capture), 0);
  EXPECT_EQ(lib.pageData(h, nullptr, 0, nullptr, nullptr), -2);
  const SettingsRecord s = Settings();
  QvEncPageInfo info = PageInfo(1, 1, 300);
  auto rows = Rows(info, 0);
  EXPECT_EQ(lib.pageData(h, &s, 2375, &info, rows.data()), -1002);
  EXPECT_EQ(lib.pageData(h, nullptr, 0, &info, rows.data()), -3);
  // A new callback takes over.
  Capture other;
  EXPECT_EQ(lib.reinit(h, nullptr, CaptureWrite, &other), 0);
  EXPECT_EQ(lib.pageData(h, &s, sizeof s, &info, rows.data()), 0);
  EXPECT_EQ(lib.exit(h), 0);
  EXPECT_TRUE(capture.bytes.empty());
  EXPECT_EQ(Join(Tokens(other.bytes)), "H p2 T");
}

TEST_F(Exports, ReverseCollatedCopiesThroughTheSystemSpoolFolder) {
  const auto before = SpoolFiles();
  QvEncHandle h = nullptr;
  ASSERT_EQ(lib.init(&h, nullptr, CaptureWrite, &capture), 0);
  SettingsRecord s = Settings();
  s.dm.dmCopies = 2;
  s.collateJob = 1;
  s.reverseJob = 1;
  const int16_t papers[] = {1, 9, 5};
  for (int page = 0; page < 3; ++page) {
    s.dm.dmPaperSize = papers[page];
    ASSERT_EQ(Page(h, s, 1, page + 1), 0);
  }
  EXPECT_TRUE(capture.bytes.empty());
  std::set<std::filesystem::path> ours;
  for (const auto& f : SpoolFiles())
    if (!before.count(f)) ours.insert(f);
  EXPECT_EQ(ours.size(), 1u);
  EXPECT_EQ(lib.exit(h), 0);
  EXPECT_EQ(Join(Tokens(capture.bytes)), "H p3 p2 p1 p3 p2 p1 T");
  for (const auto& f : ours) EXPECT_FALSE(std::filesystem::exists(f)) << f;
}

TEST_F(Exports, AbortAfterSpooledPagesDeliversNothingAndLeavesNoFile) {
  const auto before = SpoolFiles();
  QvEncHandle h = nullptr;
  ASSERT_EQ(lib.init(&h, nullptr, CaptureWrite, &capture), 0);
  SettingsRecord s = Settings();
  s.dm.dmCopies = 2;
  s.collateJob = 1;
  ASSERT_EQ(Page(h, s, 1, 1), 0);
  ASSERT_EQ(Page(h, s, 1, 2), 0);
  std::set<std::filesystem::path> ours;
  for (const auto& f : SpoolFiles())
    if (!before.count(f)) ours.insert(f);
  EXPECT_EQ(ours.size(), 1u);
  EXPECT_EQ(lib.abort(h), 0);
  EXPECT_EQ(capture.calls, 0);
  for (const auto& f : ours) EXPECT_FALSE(std::filesystem::exists(f)) << f;
}

}  // namespace
}  // namespace qvx::enc::test
