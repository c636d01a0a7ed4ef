// Loading the description image: from the cache file beside the description when
// it is valid for it, otherwise by parsing and compiling the description and
// writing the cache. A cache file is untrusted input: before any reference in it
// becomes an address, every record, text and count must lie inside the block.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "description_file_access.h"
#include "description_parse_tree.h"
#include "description_path.h"

namespace qvx {

void FreeDescriptionImage(DescriptionImage* image) noexcept { FreeImageBlock(image); }

namespace {

// Walks a stored block in the order the compiler lays it out. Every item must
// start at or after the end of the previous one, so items never overlap and every
// list runs forward (no cycles). Each reference is turned into an address as soon
// as its item has been checked (the walk reads every reference before that), so a
// block that fails the walk is left half converted and must be discarded.
class StoredBlockChecker {
 public:
  StoredBlockChecker(uint8_t* block, size_t size)
      : block_(block), size_(size), base_(reinterpret_cast<uintptr_t>(block)) {}

  bool Check() {
    if (size_ < sizeof(DescriptionImage)) return false;
    const DescriptionImage& h = *reinterpret_cast<const DescriptionImage*>(block_);
    if (h.totalSize != size_ || h.formatVersion != kDescriptionFormatVersion) return false;
    cursor_ = sizeof(DescriptionImage);

    if (!h.path || !WideText(offsetof(DescriptionImage, path))) return false;
    for (size_t field : {offsetof(DescriptionImage, nickname), offsetof(DescriptionImage, password),
                         offsetof(DescriptionImage, exitServer), offsetof(DescriptionImage, customPageSizeInvocation),
                         offsetof(DescriptionImage, jclBegin), offsetof(DescriptionImage, jclEnd),
                         offsetof(DescriptionImage, jclToPSInterpreter), offsetof(DescriptionImage, sleepMode),
                         offsetof(DescriptionImage, memorySize)}) {
      if (!Text(field)) return false;
    }

    const unsigned featureCount = h.documentFeatureCount + h.printerFeatureCount;
    uint64_t orderTable = h.orderDependencies.value, constraintTable = h.constraints.value;
    if (orderTable && !Table(offsetof(DescriptionImage, orderDependencies), sizeof(OrderDependencyRecord))) return false;
    if (constraintTable && !Table(offsetof(DescriptionImage, constraints), sizeof(ConstraintRecord))) return false;

    std::vector<unsigned> optionCounts;
    bool slotTaken[kPredefinedFeatureCount] = {};
    size_t nextField = offsetof(DescriptionImage, firstFeature);
    for (unsigned i = 0;; ++i) {
      const uint64_t offset = Read64(nextField);
      if (offset == 0) {
        if (i != featureCount) return false;
        break;
      }
      if (i >= featureCount || !Record(nextField, sizeof(FeatureRecord))) return false;
      FeatureRecord f;
      std::memcpy(&f, block_ + offset, sizeof(f));
      const bool printer = i >= h.documentFeatureCount;
      const unsigned position = printer ? i - h.documentFeatureCount : i;
      if (f.printerFeature != (printer ? 1 : 0) || f.position != position) return false;
      if (f.index > kFeatureOther || f.optionSize != OptionSizeForFeature(f.index)) return false;
      if (static_cast<uint16_t>(f.uiType) > 2) return false;
      if (f.index < kPredefinedFeatureCount) {
        if (slotTaken[f.index]) return false;
        slotTaken[f.index] = true;
        featureIndex_.push_back({f.index, offset});
      }
      if (!f.name || !Text(offset + offsetof(FeatureRecord, name)) ||
          !Text(offset + offsetof(FeatureRecord, translation)))
        return false;
      unsigned options = 0;
      size_t optionField = offset + offsetof(FeatureRecord, firstOption);
      while (Read64(optionField) != 0) {
        const uint64_t o = Read64(optionField);
        if (!Record(optionField, f.optionSize)) return false;
        if (!Read64(o + offsetof(OptionRecord, name))) return false;
        for (size_t field : {offsetof(OptionRecord, name), offsetof(OptionRecord, translation),
                             offsetof(OptionRecord, invocation)}) {
          if (!Text(o + field)) return false;
        }
        if (f.index == kFeaturePageSize || f.index == kFeatureResolution) {
          if (!Text(o + 40) || !Text(o + 48)) return false;
        }
        ++options;
        optionField = o + offsetof(OptionRecord, next);
      }
      if (f.index != kFeatureResolution && f.defaultValue >= std::max(options, 1u)) return false;
      optionCounts.push_back(options);
      nextField = offset + offsetof(FeatureRecord, next);
    }

    nextField = offsetof(DescriptionImage, firstFont);
    while (Read64(nextField) != 0) {
      const uint64_t offset = Read64(nextField);
      if (!Record(nextField, sizeof(FontRecord))) return false;
      if (!Text(offset + offsetof(FontRecord, name)) || !Text(offset + offsetof(FontRecord, value))) return false;
      nextField = offset + offsetof(FontRecord, next);
    }

    // Positions in the tables must name existing features.
    if (orderTable) {
      OrderDependencyTable t;
      std::memcpy(&t, block_ + orderTable, sizeof(t));
      for (unsigned i = 0; i < t.count; ++i) {
        OrderDependencyRecord r;
        std::memcpy(&r, block_ + orderTable + sizeof(t) + i * sizeof(r), sizeof(r));
        if (r.featurePosition == kDroppedRecord) continue;
        if (r.featurePosition >= featureCount || r.optionPosition > kNoOption) return false;
      }
    }
    if (constraintTable) {
      ConstraintTable t;
      std::memcpy(&t, block_ + constraintTable, sizeof(t));
      for (unsigned i = 0; i < t.count; ++i) {
        ConstraintRecord r;
        std::memcpy(&r, block_ + constraintTable + sizeof(t) + i * sizeof(r), sizeof(r));
        if (r.feature1 == kDroppedRecord) continue;
        if (r.feature1 >= featureCount || r.feature2 >= featureCount || r.option1 > kNoOption ||
            r.option2 > kNoOption)
          return false;
      }
    }
    return true;
  }

  struct SlotEntry {
    uint16_t index;
    uint64_t offset;
  };
  const std::vector<SlotEntry>& Slots() const { return featureIndex_; }

 private:
  uint64_t Read64(size_t at) const {
    uint64_t value;
    std::memcpy(&value, block_ + at, sizeof(value));
    return value;
  }

  // The item at the reference in `field` starts at or after the cursor and fits.
  bool Claim(size_t field, size_t size, size_t alignment, size_t& start) {
    const uint64_t offset = Read64(field);
    if (offset < cursor_ || offset >= size_ || offset % alignment != 0 || size > size_ - offset) return false;
    start = static_cast<size_t>(offset);
    cursor_ = start + size;
    const uint64_t address = base_ + offset;
    std::memcpy(block_ + field, &address, sizeof(address));
    return true;
  }

  bool Record(size_t field, size_t size) {
    size_t start;
    return Claim(field, size, 8, start);
  }

  // An optional text: absent, or NUL-terminated inside the block.
  bool Text(size_t field) {
    const uint64_t offset = Read64(field);
    if (offset == 0) return true;
    if (offset < cursor_ || offset >= size_) return false;
    const void* nul = std::memchr(block_ + offset, 0, size_ - static_cast<size_t>(offset));
    if (!nul) return false;
    size_t start;
    return Claim(field, static_cast<const uint8_t*>(nul) - (block_ + offset) + 1, 1, start);
  }

  bool WideText(size_t field) {
    const uint64_t offset = Read64(field);
    if (offset < cursor_ || offset >= size_ || offset % 2 != 0) return false;
    for (size_t at = static_cast<size_t>(offset); at + 2 <= size_; at += 2) {
      if (block_[at] == 0 && block_[at + 1] == 0) {
        size_t start;
        return Claim(field, at + 2 - static_cast<size_t>(offset), 2, start);
      }
    }
    return false;
  }

  bool Table(size_t field, size_t recordSize) {
    const uint64_t offset = Read64(field);
    if (offset < cursor_ || offset >= size_ || offset % 4 != 0 || size_ - offset < 4) return false;
    uint16_t count, size;
    std::memcpy(&count, block_ + offset, 2);
    std::memcpy(&size, block_ + offset + 2, 2);
    if (size != recordSize) return false;
    size_t start;
    return Claim(field, 4 + size_t{count} * recordSize, 4, start);
  }

  uint8_t* block_;
  size_t size_;
  uintptr_t base_;
  size_t cursor_ = 0;
  std::vector<SlotEntry> featureIndex_;
};

// The number in the first double-quoted text after the first "FileVersion"; 0 when
// there is none. False when the answer may lie beyond the bytes given.
bool ScanFileVersion(std::span<const uint8_t> bytes, bool whole, Fixed& version) {
  version = 0;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const size_t keyword = text.find("FileVersion");
  if (keyword == std::string_view::npos) return whole;
  const size_t open = text.find('"', keyword);
  if (open == std::string_view::npos) return whole;
  const size_t close = text.find('"', open + 1);
  if (close == std::string_view::npos) return whole;
  if (!ParseDescriptionFixed(text.substr(open + 1, close - open - 1), version)) version = 0;
  return true;
}

// The description's version text. Usually the first block of the file holds it,
// which spares mapping the whole file when the cache is valid. -1 when the
// description cannot be read.
int64_t DescriptionFileVersion(const std::filesystem::path& path) {
  constexpr size_t kHead = 8 * 1024;
  std::unique_ptr<uint8_t[]> head(new uint8_t[kHead]);  // no need to clear it
  bool whole = false;
  const int64_t read = ReadFilePrefix(path, {head.get(), kHead}, whole);
  if (read < 0) return -1;
  Fixed version = 0;
  if (ScanFileVersion({head.get(), static_cast<size_t>(read)}, whole, version)) return version;
  MappedFile file;
  if (!file.Open(path)) return -1;
  ScanFileVersion(file.Bytes(), true, version);
  return version;
}

}  // namespace

bool RelocateImage(DescriptionImage* image, size_t blockSize) noexcept {
  if (!image) return false;
  try {
    auto* block = reinterpret_cast<uint8_t*>(image);
    StoredBlockChecker checker(block, blockSize);
    if (!checker.Check()) return false;
    const auto base = reinterpret_cast<uintptr_t>(block);
    std::memset(image->featureSlots, 0, sizeof(image->featureSlots));
    for (const auto& slot : checker.Slots()) image->featureSlots[slot.index].value = base + slot.offset;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

DescriptionImagePtr AdoptImageBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() < sizeof(DescriptionImage) || bytes.size() > UINT32_MAX) return nullptr;
  DescriptionImagePtr image(static_cast<DescriptionImage*>(AllocateImageBlock(bytes.size())));
  if (!image) return nullptr;
  std::memcpy(image.get(), bytes.data(), bytes.size());
  if (!RelocateImage(image.get(), bytes.size())) return nullptr;
  return image;
}

std::filesystem::path CacheFilePathFor(const std::filesystem::path& descriptionPath) {
  std::filesystem::path cache = descriptionPath;
  if (cache.has_extension()) cache.replace_extension("QDD");
  else cache += ".QDD";
  return cache;
}

// The cache file's image, when it is valid for the description: its size, its
// stored version against the description's version text, its layout, and the
// file name it was built for.
static DescriptionImagePtr LoadCacheFor(const std::filesystem::path& descriptionPath, Fixed version) {
  if (version == 0) return nullptr;
  size_t size = 0;
  DescriptionImagePtr image(static_cast<DescriptionImage*>(
      ReadFileIntoImageBlock(CacheFilePathFor(descriptionPath), UINT32_MAX, size)));
  if (!image || size <= sizeof(DescriptionImage) + 32) return nullptr;
  if (image->totalSize != size || image->fileVersion != version) return nullptr;
  if (!RelocateImage(image.get(), size)) return nullptr;
  const std::u16string requested = PathToUtf16(descriptionPath);
  if (!EqualsIgnoringAsciiCase(FileNamePart(image->path.get()), FileNamePart(requested))) return nullptr;
  return image;
}

DescriptionImagePtr LoadDescriptionImage(const std::filesystem::path& descriptionPath) {
  try {
    const int64_t version = DescriptionFileVersion(descriptionPath);
    if (version < 0) return nullptr;
    if (DescriptionImagePtr cached = LoadCacheFor(descriptionPath, static_cast<Fixed>(version))) return cached;
    MappedFile description;
    if (!description.Open(descriptionPath)) return nullptr;
    DescriptionImagePtr image = CompileDescription(ParseDescriptionBuffer(description.Bytes()), descriptionPath);
    if (!image) return nullptr;
    const size_t size = image->totalSize;
    // A cache that cannot be written only costs the next load a parse.
    WriteWholeFile(CacheFilePathFor(descriptionPath), {reinterpret_cast<const uint8_t*>(image.get()), size});
    if (!RelocateImage(image.get(), size)) return nullptr;
    return image;
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::filesystem::filesystem_error&) {
    return nullptr;
  }
}

}  // namespace qvx
