// AcquireDescriptionImage and ReleaseDescriptionImage on real printers of
// the Wine prefix: the printers' drivers name the description files, the
// images come from them (and their cache files), and one image is shared.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cache.h"
#include "description_access.h"
#include "test_paths.h"
#include "wine_printer_fixture.h"

namespace qvx::test {
namespace {

using core::ProcessDescriptionCache;
using core::win::AcquireDescriptionImage;
using core::win::ReleaseDescriptionImage;

bool EndsWith(const char16_t* path, std::u16string_view tail) {
  const std::u16string_view text(path != nullptr ? path : u"");
  if (text.size() < tail.size()) return false;
  return core::EqualsIgnoringAsciiCase(text.substr(text.size() - tail.size()), tail);
}

class CacheWineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::wstring tag = ExecutableTag();
    colour_ = new WineDriver(L"Quorvel Model 07 cache " + tag, SourcePath("examples/ppd/qvx07c.ppd"));
    mono_ = new WineDriver(L"Quorvel Model 01 cache " + tag, SourcePath("examples/ppd/qvx01m.ppd"));
    a_ = new WinePrinter(L"QVX cache A " + tag, *colour_);
    b_ = new WinePrinter(L"QVX cache B " + tag, *mono_);
  }
  static void TearDownTestSuite() {
    delete b_;
    delete a_;
    delete mono_;
    delete colour_;
  }
  void TearDown() override {
    EXPECT_EQ(ProcessDescriptionCache().References(), 0) << "every acquire is released";
  }

  static inline WineDriver* colour_ = nullptr;
  static inline WineDriver* mono_ = nullptr;
  static inline WinePrinter* a_ = nullptr;
  static inline WinePrinter* b_ = nullptr;
};

TEST_F(CacheWineTest, OnePrinterSharesItsImage) {
  DescriptionImage* first = AcquireDescriptionImage(a_->Handle(), TRUE);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(EndsWith(first->path.get(), u"\\qvx07c.ppd"));
  DescriptionImage* second = AcquireDescriptionImage(a_->Handle(), TRUE);
  EXPECT_EQ(first, second);
  ReleaseDescriptionImage(second);
  ReleaseDescriptionImage(first);
  EXPECT_EQ(ProcessDescriptionCache().CachedImage(), first);
  DescriptionImage* third = AcquireDescriptionImage(a_->Handle(), TRUE);
  EXPECT_EQ(third, first);
  ReleaseDescriptionImage(third);
}

TEST_F(CacheWineTest, SecondPrinterWhileTheFirstIsHeld) {
  DescriptionImage* a = AcquireDescriptionImage(a_->Handle(), TRUE);
  DescriptionImage* b = AcquireDescriptionImage(b_->Handle(), TRUE);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_TRUE(EndsWith(b->path.get(), u"\\qvx01m.ppd"));
  EXPECT_EQ(ProcessDescriptionCache().CachedImage(), a);
  ReleaseDescriptionImage(b);
  EXPECT_EQ(ProcessDescriptionCache().CachedImage(), a);
  ReleaseDescriptionImage(a);

  // Idle now: a rebuild for the second printer takes the cache over.
  DescriptionImage* rebuilt = AcquireDescriptionImage(b_->Handle(), FALSE);
  EXPECT_EQ(ProcessDescriptionCache().CachedImage(), rebuilt);
  ReleaseDescriptionImage(rebuilt);
}

TEST_F(CacheWineTest, NoPrinterNoImage) {
  EXPECT_EQ(AcquireDescriptionImage(static_cast<HANDLE>(nullptr), TRUE), nullptr);
  ReleaseDescriptionImage(nullptr);
}

TEST_F(CacheWineTest, ThreadsOnTwoPrinters) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        const bool colour = ((i + t) & 1) == 0;
        DescriptionImage* image = AcquireDescriptionImage((colour ? a_ : b_)->Handle(), TRUE);
        if (image == nullptr || !EndsWith(image->path.get(), colour ? u"\\qvx07c.ppd" : u"\\qvx01m.ppd")) ++wrong;
        ReleaseDescriptionImage(image);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qvx::test
