// The process-wide cache of one description image. Every entry point that
// needs the printer description acquires the image for the printer's
// description file and releases it on every path. One image is cached: a
// matching acquire shares it; an image built while the cached one is in use
// belongs to its acquirer alone and is freed on its release.
#pragma once

#include <functional>
#include <mutex>
#include <string_view>

#include "description_image.h"

namespace qvx::core {

class DescriptionImageCache {
 public:
  // How the cache sees an image: the description file it was built from
  // (UTF-16) and how it is freed.
  struct ImageOps {
    std::u16string_view (*path)(const DescriptionImage*);
    void (*free)(DescriptionImage*);
  };
  using Loader = std::function<DescriptionImage*()>;

  explicit DescriptionImageCache(ImageOps ops) : ops_(ops) {}
  DescriptionImageCache(const DescriptionImageCache&) = delete;
  DescriptionImageCache& operator=(const DescriptionImageCache&) = delete;
  ~DescriptionImageCache() { Clear(); }

  // The cached image when useCache is set and it was built from
  // descriptionPath (ASCII letters compared without case); otherwise the
  // image that load() builds, which replaces an idle cached image. The load
  // runs under the lock, so concurrent first acquirers build the image once.
  // Null when load() fails.
  DescriptionImage* Acquire(std::u16string_view descriptionPath, bool useCache, const Loader& load);

  // Gives back an image from Acquire; null is ignored.
  void Release(DescriptionImage* image);

  // Frees the cached image (library detach).
  void Clear();

  // The cache lock, for callers that must keep the cached image from being
  // replaced while they rewrite printer state (driver upgrade). It is
  // recursive: such a caller may acquire and release images while holding it.
  std::recursive_mutex& Lock() { return mutex_; }

  // For tests: the cached image and its number of holders.
  DescriptionImage* CachedImage();
  int References();

 private:
  ImageOps ops_;
  std::recursive_mutex mutex_;
  DescriptionImage* cached_ = nullptr;
  int references_ = 0;
};

// The cache shared by the whole process, working on real description images.
DescriptionImageCache& ProcessDescriptionCache();

}  // namespace qvx::core
