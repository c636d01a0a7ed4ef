// Memory for one parse: nodes are carved from 4072-byte blocks (a larger block for
// a larger request) and the whole tree is freed with the arena.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

namespace qvx {

class Arena {
 public:
  static constexpr size_t kBlockSize = 4072;

  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;

  // Zero-filled, 4-byte aligned (8 for larger types); throws std::bad_alloc.
  void* Allocate(size_t size, size_t alignment = 4);

  template <class T>
  T* New() {
    static_assert(std::is_trivially_destructible_v<T>);
    return new (Allocate(sizeof(T), alignof(T))) T{};
  }

  // NUL-terminated copy.
  char* CopyText(std::string_view text) {
    char* copy = static_cast<char*>(Allocate(text.size() + 1, 1));
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    return copy;
  }

  size_t BlockCount() const noexcept { return blocks_.size(); }

 private:
  struct Block {
    std::unique_ptr<std::byte[]> data;
    size_t size;
    size_t used;
  };
  std::vector<Block> blocks_;
  size_t firstOpen_ = 0;  // blocks before this one have no useful room left
};

}  // namespace qvx
