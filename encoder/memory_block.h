// An owned zero-filled block from the platform allocator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform.h"

namespace qvx::enc {

class MemoryBlock {
 public:
  explicit MemoryBlock(Platform& platform) : platform_(&platform) {}
  MemoryBlock(const MemoryBlock&) = delete;
  MemoryBlock& operator=(const MemoryBlock&) = delete;
  MemoryBlock(MemoryBlock&& other) noexcept
      : platform_(other.platform_),
        data_(std::exchange(other.data_, nullptr)),
        size_(std::exchange(other.size_, 0)) {}
  ~MemoryBlock() { Reset(); }

  // Allocates a fresh zero-filled block, dropping the old one; false (and the
  // old block kept) when the allocation fails.
  bool Allocate(size_t size) {
    void* fresh = platform_->Alloc(size);
    if (fresh == nullptr) return false;
    Reset();
    data_ = static_cast<uint8_t*>(fresh);
    size_ = size;
    return true;
  }
  // Grows or shrinks keeping the leading bytes; new bytes are zero.
  bool Resize(size_t size) {
    void* fresh = platform_->Alloc(size);
    if (fresh == nullptr) return false;
    if (data_) std::memcpy(fresh, data_, size < size_ ? size : size_);
    Reset();
    data_ = static_cast<uint8_t*>(fresh);
    size_ = size;
    return true;
  }
  void Reset() {
    if (data_) platform_->Free(data_);
    data_ = nullptr;
    size_ = 0;
  }

  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  Platform* platform_;
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace qvx::enc
