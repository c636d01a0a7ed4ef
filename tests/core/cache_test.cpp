// The description image cache: sharing, private images while the cache is in
// use, rebuilds, and many threads at once. The images here are stand-ins
// that only carry their description path, so every load and free is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cache.h"
#include "library_paths.h"
#include "model_table.h"

namespace qvx::core {
namespace {

struct StandInImage {
  DescriptionImage header{};  // first: the cache sees a pointer to it
  std::u16string path;
};

class Images {
 public:
  DescriptionImage* Load(std::u16string_view path) {
    auto* image = new StandInImage;
    image->path = path;
    image->header.path.value = reinterpret_cast<uintptr_t>(image->path.c_str());
    std::lock_guard lock(mutex_);
    live_.insert(&image->header);
    ++loads_;
    return &image->header;
  }
  void Free(DescriptionImage* image) {
    {
      std::lock_guard lock(mutex_);
      if (live_.erase(image) == 0) {
        ++badFrees_;
        return;
      }
    }
    delete reinterpret_cast<StandInImage*>(image);
  }
  int Loads() {
    std::lock_guard lock(mutex_);
    return loads_;
  }
  size_t Live() {
    std::lock_guard lock(mutex_);
    return live_.size();
  }
  int BadFrees() {
    std::lock_guard lock(mutex_);
    return badFrees_;
  }

 private:
  std::mutex mutex_;
  std::set<DescriptionImage*> live_;
  int loads_ = 0;
  int badFrees_ = 0;
};

Images* g_images = nullptr;

class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override { g_images = &images_; }
  void TearDown() override {
    cache_.Clear();
    EXPECT_EQ(images_.Live(), 0u) << "images leaked";
    EXPECT_EQ(images_.BadFrees(), 0) << "an image was freed twice or never loaded";
    g_images = nullptr;
  }

  DescriptionImage* Acquire(std::u16string_view path, bool useCache = true) {
    return cache_.Acquire(path, useCache, [&] { return images_.Load(path); });
  }

  Images images_;
  DescriptionImageCache cache_{{
      [](const DescriptionImage* image) {
        return std::u16string_view(reinterpret_cast<const StandInImage*>(image)->path);
      },
      [](DescriptionImage* image) { g_images->Free(image); },
  }};
};

constexpr std::u16string_view kA = u"C:\\Windows\\spool\\drivers\\x64\\3\\QVX07C.PPD";
constexpr std::u16string_view kB = u"C:\\Windows\\spool\\drivers\\x64\\3\\QVX01M.PPD";

TEST_F(CacheTest, AcquiresOfOneDescriptionShareTheImage) {
  DescriptionImage* first = Acquire(kA);
  DescriptionImage* second = Acquire(u"c:\\windows\\SPOOL\\drivers\\x64\\3\\qvx07c.ppd");
  EXPECT_EQ(first, second);
  EXPECT_EQ(cache_.References(), 2);
  cache_.Release(first);
  cache_.Release(second);
  // Idle but still cached: the next acquire reads nothing.
  EXPECT_EQ(cache_.CachedImage(), first);
  EXPECT_EQ(Acquire(kA), first);
  EXPECT_EQ(images_.Loads(), 1);
  cache_.Release(first);
}

TEST_F(CacheTest, AnotherDescriptionWhileInUseGetsAPrivateImage) {
  DescriptionImage* a = Acquire(kA);
  DescriptionImage* b = Acquire(kB);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(cache_.CachedImage(), a);
  cache_.Release(b);
  EXPECT_EQ(images_.Live(), 1u) << "the private image is freed on release";
  EXPECT_EQ(cache_.CachedImage(), a);
  cache_.Release(a);
}

TEST_F(CacheTest, RebuildReplacesAnIdleCacheOnly) {
  DescriptionImage* old = Acquire(kA);
  cache_.Release(old);
  DescriptionImage* rebuilt = Acquire(kA, false);
  EXPECT_NE(rebuilt, nullptr);
  EXPECT_EQ(cache_.CachedImage(), rebuilt);
  EXPECT_EQ(cache_.References(), 1);
  EXPECT_EQ(images_.Live(), 1u) << "the replaced image is freed";

  // While it is held, a rebuild stays private to its caller.
  DescriptionImage* other = Acquire(kA, false);
  EXPECT_NE(other, rebuilt);
  EXPECT_EQ(cache_.CachedImage(), rebuilt);
  cache_.Release(other);
  cache_.Release(rebuilt);
}

TEST_F(CacheTest, FailedLoadAndUnbalancedRelease) {
  DescriptionImage* a = Acquire(kA);
  cache_.Release(a);
  EXPECT_EQ(cache_.Acquire(kB, true, [] { return nullptr; }), nullptr);
  EXPECT_EQ(cache_.CachedImage(), a);
  // One release too many must not leave the count negative, which would let
  // the next holder's image be replaced under it.
  cache_.Release(a);
  EXPECT_EQ(cache_.References(), 0);
  cache_.Release(nullptr);
  DescriptionImage* again = Acquire(kA);
  DescriptionImage* b = Acquire(kB);
  EXPECT_EQ(again, a);
  EXPECT_NE(b, a);
  cache_.Release(b);
  cache_.Release(again);
}

TEST_F(CacheTest, ManyThreadsOnOneDescriptionBuildItOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 2000; ++i) {
        DescriptionImage* image = Acquire(kA);
        if (image == nullptr || cache_.CachedImage() != image) ++wrong;
        cache_.Release(image);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(images_.Loads(), 1);
  EXPECT_EQ(cache_.References(), 0);
}

TEST_F(CacheTest, ManyThreadsOnTwoDescriptions) {
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      std::mt19937 random(t);
      for (int i = 0; i < 2000; ++i) {
        const std::u16string_view path = (random() & 1) != 0 ? kA : kB;
        DescriptionImage* image = Acquire(path);
        // Each holder reads the image it asked for, whoever built it.
        if (image == nullptr || reinterpret_cast<StandInImage*>(image)->path != path) ++wrong;
        if ((random() & 7) == 0) std::this_thread::yield();
        cache_.Release(image);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(cache_.References(), 0);
  EXPECT_EQ(images_.Live(), 1u) << "only the cached image outlives its holders";
}

TEST(LibraryHelpers, ModelLookup) {
  struct Case {
    const wchar_t* driver;
    const wchar_t* id;
  };
  const Case cases[] = {
      {L"Quorvel Model 07 Colour Inkjet", L"kdx107"},
      {L"Quorvel Model 23 ", L"kdx123"},
      {L"Quorvel Model 07", L"kdx101"},          // the display name ends with a space
      {L"quorvel model 07 inkjet", L"kdx101"},  // case-sensitive
      {L"Other Printer", L"kdx101"},
      {L"", L"kdx101"},
  };
  for (const Case& c : cases) EXPECT_STREQ(LookupModelId(c.driver), c.id) << c.driver;
}

TEST(LibraryHelpers, PathBesideTheLibrary) {
  EXPECT_EQ(PathBeside(L"C:\\drivers\\x64\\3\\QVXUI.DLL", L"QVXLANG.DLL"), L"C:\\drivers\\x64\\3\\QVXLANG.DLL");
  EXPECT_EQ(PathBeside(L"QVXUI.DLL", L"QVXHELP.DAT"), L"QVXHELP.DAT");
  // Only the first 260 characters are looked at.
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'a') + L"\\QVXUI.DLL";
  EXPECT_EQ(PathBeside(longPath, L"X"), L"C:\\X");
}

}  // namespace
}  // namespace qvx::core
