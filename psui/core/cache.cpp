#include "cache.h"

#include "platform.h"

namespace qvx::core {

DescriptionImage* DescriptionImageCache::Acquire(std::u16string_view descriptionPath, bool useCache,
                                                 const Loader& load) {
  std::lock_guard lock(mutex_);
  if (useCache && cached_ != nullptr && EqualsIgnoringAsciiCase(ops_.path(cached_), descriptionPath)) {
    ++references_;
    return cached_;
  }
  DescriptionImage* image = load();
  if (image != nullptr && references_ == 0) {
    if (cached_ != nullptr) ops_.free(cached_);
    cached_ = image;
    references_ = 1;
  }
  return image;
}

void DescriptionImageCache::Release(DescriptionImage* image) {
  if (image == nullptr) return;
  std::lock_guard lock(mutex_);
  if (image == cached_) {
    // An unbalanced release must not drive the count below zero: the cache
    // would then be replaced while a holder still reads it.
    if (references_ > 0) --references_;
  } else {
    ops_.free(image);
  }
}

void DescriptionImageCache::Clear() {
  std::lock_guard lock(mutex_);
  if (cached_ != nullptr) ops_.free(cached_);
  cached_ = nullptr;
  references_ = 0;
}

DescriptionImage* DescriptionImageCache::CachedImage() {
  std::lock_guard lock(mutex_);
  return cached_;
}

int DescriptionImageCache::References() {
  std::lock_guard lock(mutex_);
  return references_;
}

DescriptionImageCache& ProcessDescriptionCache() {
  // Never destroyed: at process end other threads may have died holding the
  // lock, and the system reclaims the memory anyway.
  static auto* cache = new DescriptionImageCache({
      [](const DescriptionImage* image) {
        const char16_t* path = image->path.get();
        return path != nullptr ? std::u16string_view(path) : std::u16string_view();
      },
      [](DescriptionImage* image) { FreeDescriptionImage(image); },
  });
  return *cache;
}

}  // namespace qvx::core
