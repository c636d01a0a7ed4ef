#include "arena.h"

namespace qvx {

void* Arena::Allocate(size_t size, size_t alignment) {
  if (alignment < 4) alignment = 4;
  size = (size + 3) & ~size_t{3};
  if (size == 0) size = 4;
  // First fit over the chain, skipping the blocks that are already full.
  for (size_t i = firstOpen_; i < blocks_.size(); ++i) {
    Block& block = blocks_[i];
    const size_t start = (block.used + alignment - 1) & ~(alignment - 1);
    if (start <= block.size && block.size - start >= size) {
      block.used = start + size;
      return block.data.get() + start;
    }
  }
  while (firstOpen_ < blocks_.size() && blocks_[firstOpen_].size - blocks_[firstOpen_].used < 16) ++firstOpen_;
  const size_t blockSize = size > kBlockSize ? size : kBlockSize;
  Block block{std::unique_ptr<std::byte[]>(new std::byte[blockSize]()), blockSize, size};
  blocks_.push_back(std::move(block));
  return blocks_.back().data.get();
}

}  // namespace qvx
