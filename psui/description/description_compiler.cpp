// Compiles a parse tree into the stored form of the description image: one block,
// header first, every reference a byte offset from the start of the block. The
// order of the block is fixed (RelocateImage checks it when a cache file is read).
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "description_file_access.h"
#include "description_parse_tree.h"
#include "description_path.h"

namespace qvx {
namespace {

// Slot of a text: its length plus the terminator, rounded up to 4 bytes.
constexpr size_t TextSlot(size_t length) { return (length + 4) & ~size_t{3}; }

// Lays the block out twice: first without storage to measure it, then into the
// zero-filled block of exactly that size. Both passes take the same steps.
class BlockBuilder {
 public:
  BlockBuilder() = default;
  BlockBuilder(uint8_t* block, size_t capacity) : data_(block), capacity_(capacity) {}

  size_t Size() const { return size_; }
  bool Overflowed() const { return data_ && size_ > capacity_; }

  size_t Reserve(size_t size) {
    const size_t offset = size_;
    size_ += size;
    return offset;
  }

  // Records start on 8-byte boundaries; texts leave 4-byte ones.
  size_t ReserveRecord(size_t size) {
    if (size_ % 8 != 0) Reserve(8 - size_ % 8);
    return Reserve(size);
  }

  template <class T>
  void Store(size_t offset, const T& value) {
    Copy(offset, &value, sizeof(T));
  }

  // A text slot; 0 (no reference) for an absent text.
  uint64_t Text(const char* text) {
    if (!text) return 0;
    const size_t length = std::strlen(text);
    const size_t offset = Reserve(TextSlot(length));
    Copy(offset, text, length);
    return offset;
  }

  uint64_t WideText(const std::u16string& text) {
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    const size_t offset = Reserve((bytes + 3) & ~size_t{3});
    Copy(offset, text.data(), text.size() * sizeof(char16_t));
    return offset;
  }

 private:
  void Copy(size_t offset, const void* from, size_t length) {
    if (data_ && offset <= capacity_ && length <= capacity_ - offset) std::memcpy(data_ + offset, from, length);
  }

  uint8_t* data_ = nullptr;
  size_t capacity_ = 0;
  size_t size_ = 0;
};

template <class T>
ImageRef<T> Ref(uint64_t offset) {
  return ImageRef<T>{offset};
}

// Paper sizes as the printer can use them: the imageable area inside the paper.
void NormaliseArea(ImageableArea& area, Fixed width, Fixed height) {
  if (area.urx > width) area.urx = width;
  if (area.ury > height) area.ury = height;
  if (area.llx >= area.urx || area.lly >= area.ury) {
    area.llx = 0;
    area.lly = 0;
    area.ury = height;
  }
  if (area.extra1 > width) area.extra1 = 0;
  if (area.extra2 > height) area.extra2 = 0;
}

void NormalisePaper(ParsedOption& o) {
  if (o.width == 0 || o.height == 0) o.width = o.height = 0;
  NormaliseArea(o.area, o.width, o.height);
  NormaliseArea(o.areaLandscape, o.width, o.height);
}

// Leading integer of a text ("600dpi" gives 600); 0 without digits.
int64_t LeadingNumber(const char* text) {
  uint32_t value = 0;
  if (!text || !ParseDescriptionInteger(text, value)) return 0;
  return value;
}

uint64_t DefaultOf(const ParsedFeature& f) {
  if (f.index == kFeatureResolution) {
    const char* text = f.defaultText ? f.defaultText : (f.firstOption ? f.firstOption->name : nullptr);
    const int64_t dpi = LeadingNumber(text);
    return dpi > 0 ? static_cast<uint64_t>(dpi) : 300;
  }
  if (!f.defaultText) return 0;
  uint64_t position = 0;
  for (const ParsedOption* o = f.firstOption; o; o = o->next, ++position) {
    if (std::strcmp(o->name, f.defaultText) == 0) return position;
  }
  return 0;
}

struct FeatureList {
  std::vector<ParsedFeature*> ordered;  // document features, then printer features
  std::vector<uint16_t> position;       // position within the group, by ordered index
  unsigned documentCount = 0;
  unsigned printerCount = 0;

  std::unordered_map<std::string_view, int> byName;

  void Add(ParsedFeature* f, unsigned groupPosition) {
    byName.emplace(f->name, static_cast<int>(ordered.size()));
    ordered.push_back(f);
    position.push_back(static_cast<uint16_t>(groupPosition));
  }

  // Final list position of a named feature; -1 when there is none.
  int Find(const char* name) const {
    const auto found = byName.find(name);
    return found == byName.end() ? -1 : found->second;
  }
};

// Option position for a record: kNoOption for none, -1 when the option is missing
// (or lies beyond what a one-byte selection can name).
int OptionPosition(const ParsedFeature& feature, const char* name) {
  if (!name) return kNoOption;
  const uint32_t hash = DescriptionNameHash(name);
  int position = 0;
  for (const ParsedOption* o = feature.firstOption; o; o = o->next, ++position) {
    if (o->nameHash == hash && std::strcmp(o->name, name) == 0) return position < kNoOption ? position : -1;
  }
  return -1;
}

// Resolves a (feature, option) pair; false when either does not exist.
bool Resolve(const FeatureList& list, const char* feature, const char* option, uint16_t& featureOut,
             uint16_t& optionOut) {
  const int f = list.Find(feature);
  if (f < 0) return false;
  const int o = OptionPosition(*list.ordered[static_cast<size_t>(f)], option);
  if (o < 0) return false;
  featureOut = static_cast<uint16_t>(f);
  optionOut = static_cast<uint16_t>(o);
  return true;
}

void WriteOption(BlockBuilder& b, const ParsedFeature& feature, ParsedOption& o, size_t& previousNextField) {
  const size_t offset = b.ReserveRecord(feature.optionSize);
  b.Store(previousNextField, static_cast<uint64_t>(offset));
  previousNextField = offset + offsetof(OptionRecord, next);

  OptionRecord base{};
  base.nameHash = o.nameHash;
  base.name = Ref<char>(b.Text(o.name));
  base.translation = Ref<char>(b.Text(o.translation));
  base.invocation = Ref<char>(b.Text(o.invocation));
  switch (feature.index) {
    case kFeaturePageSize: {
      PaperOption paper{};
      paper.landscapeInvocation = Ref<char>(b.Text(o.text40));
      paper.regionInvocation = Ref<char>(b.Text(o.text48));
      paper.base = base;
      paper.width = o.width;
      paper.height = o.height;
      paper.area = o.area;
      paper.areaLandscape = o.areaLandscape;
      b.Store(offset, paper);
      break;
    }
    case kFeatureInputSlot: {
      InputSlotOption slot{};
      slot.base = base;
      slot.requiresPageRegion = o.requiresPageRegion;
      b.Store(offset, slot);
      break;
    }
    case kFeatureResolution: {
      ResolutionOption resolution{};
      resolution.jclInvocation = Ref<char>(b.Text(o.text40));
      resolution.setInvocation = Ref<char>(b.Text(o.text48));
      resolution.base = base;
      resolution.screenAngle = o.screenAngle;
      resolution.screenFrequency = o.screenFrequency;
      b.Store(offset, resolution);
      break;
    }
    case kFeatureVMOption: {
      MemoryOption memory{};
      memory.base = base;
      memory.memory = o.memory;
      b.Store(offset, memory);
      break;
    }
    default:
      b.Store(offset, base);
      break;
  }
}

DescriptionImagePtr Compile(ParseContext& c, const std::filesystem::path& path) {
  ParsedHeader& h = c.header;

  // Input slots take the feature-wide page-region switch when there is one.
  if (ParsedFeature* slots = c.slots[kFeatureInputSlot]) {
    if (slots->flags & (kFeatureAllSlotsRequirePageRegion | kFeatureNoSlotRequiresPageRegion)) {
      const uint32_t value = (slots->flags & kFeatureAllSlotsRequirePageRegion) ? 1 : 0;
      for (ParsedOption* o = slots->firstOption; o; o = o->next) o->requiresPageRegion = value;
    }
  }
  if (ParsedFeature* paper = c.slots[kFeaturePageSize]) {
    for (ParsedOption* o = paper->firstOption; o; o = o->next) NormalisePaper(*o);
  }

  FeatureList list;
  for (ParsedFeature* f = c.firstFeature; f; f = f->next) {
    if (!f->printerFeature) list.Add(f, list.documentCount++);
  }
  for (ParsedFeature* f = c.firstFeature; f; f = f->next) {
    if (f->printerFeature) list.Add(f, list.printerCount++);
  }
  // Positions are 16-bit and 0xFFFF marks a dropped record.
  if (list.ordered.size() >= kDroppedRecord) return nullptr;

  if (h.freeVirtualMemory < 102400) h.freeVirtualMemory = 102400;
  if (h.maxMediaWidth == 0 && h.maxMediaHeight == 0) h.customPageSize = 0;

  const std::u16string storedPath = PathToUtf16(path);
  // The layout, run once to measure and once to write.
  auto layout = [&](BlockBuilder& b) {
    b.Reserve(sizeof(DescriptionImage));
    DescriptionImage header{};
    header.path = Ref<char16_t>(b.WideText(storedPath));
    header.nickname = Ref<char>(b.Text(h.nickname));
    header.password = Ref<char>(b.Text(h.password));
    header.exitServer = Ref<char>(b.Text(h.exitServer));
    header.customPageSizeInvocation = Ref<char>(b.Text(h.customPageSizeInvocation));
    header.jclBegin = Ref<char>(b.Text(h.jclBegin));
    header.jclEnd = Ref<char>(b.Text(h.jclEnd));
    header.jclToPSInterpreter = Ref<char>(b.Text(h.jclToPSInterpreter));
    header.sleepMode = Ref<char>(b.Text(h.sleepMode));
    header.memorySize = Ref<char>(b.Text(h.memorySize));

    {  // order dependencies (the count is 16-bit: anything beyond is dropped)
      const uint16_t count = static_cast<uint16_t>(c.orderCount < 0xFFFF ? c.orderCount : 0xFFFF);
      const size_t offset = b.Reserve(sizeof(OrderDependencyTable) + count * sizeof(OrderDependencyRecord));
      b.Store(offset, OrderDependencyTable{count, sizeof(OrderDependencyRecord)});
      size_t at = offset + sizeof(OrderDependencyTable);
      unsigned n = 0;
      for (const ParsedOrderDependency* d = c.firstOrder; d && n < count; d = d->next, ++n) {
        OrderDependencyRecord r{kDroppedRecord, 0, d->order, d->sections};
        uint16_t feature, option;
        if (Resolve(list, d->feature, d->option, feature, option)) {
          r.featurePosition = feature;
          r.optionPosition = option;
        }
        b.Store(at, r);
        at += sizeof(r);
      }
      header.orderDependencies = Ref<OrderDependencyTable>(offset);
    }
    {  // constraints
      const uint16_t count = static_cast<uint16_t>(c.constraintCount < 0xFFFF ? c.constraintCount : 0xFFFF);
      const size_t offset = b.Reserve(sizeof(ConstraintTable) + count * sizeof(ConstraintRecord));
      b.Store(offset, ConstraintTable{count, sizeof(ConstraintRecord)});
      size_t at = offset + sizeof(ConstraintTable);
      unsigned n = 0;
      for (const ParsedConstraint* k = c.firstConstraint; k && n < count; k = k->next, ++n) {
        ConstraintRecord r{kDroppedRecord, 0, 0, 0};
        uint16_t f1, o1, f2, o2;
        if (Resolve(list, k->feature1, k->option1, f1, o1) && Resolve(list, k->feature2, k->option2, f2, o2)) {
          r = {f1, o1, f2, o2};
        }
        b.Store(at, r);
        at += sizeof(r);
      }
      header.constraints = Ref<ConstraintTable>(offset);
    }

    size_t previousNext = offsetof(DescriptionImage, firstFeature);
    for (size_t i = 0; i < list.ordered.size(); ++i) {
      ParsedFeature& f = *list.ordered[i];
      const size_t offset = b.ReserveRecord(sizeof(FeatureRecord));
      if (previousNext == offsetof(DescriptionImage, firstFeature)) header.firstFeature = Ref<FeatureRecord>(offset);
      else b.Store(previousNext, static_cast<uint64_t>(offset));
      previousNext = offset + offsetof(FeatureRecord, next);

      FeatureRecord record{};
      record.nameHash = f.nameHash;
      record.defaultValue = DefaultOf(f);
      record.optionSize = f.optionSize;
      record.index = f.index;
      record.flags = f.flags;
      record.uiType = f.uiType;
      record.position = list.position[i];
      record.printerFeature = f.printerFeature ? 1 : 0;
      record.name = Ref<char>(b.Text(f.name));
      record.translation = Ref<char>(b.Text(f.translation));
      size_t previousOption = offset + offsetof(FeatureRecord, firstOption);
      b.Store(offset, record);  // options then link themselves behind it
      for (ParsedOption* o = f.firstOption; o; o = o->next) WriteOption(b, f, *o, previousOption);
    }

    previousNext = offsetof(DescriptionImage, firstFont);
    for (const ParsedFont* font = c.firstFont; font; font = font->next) {
      const size_t offset = b.ReserveRecord(sizeof(FontRecord));
      if (previousNext == offsetof(DescriptionImage, firstFont)) header.firstFont = Ref<FontRecord>(offset);
      else b.Store(previousNext, static_cast<uint64_t>(offset));
      previousNext = offset + offsetof(FontRecord, next);
      FontRecord record{};
      record.nameHash = font->nameHash;
      record.fontId = font->fontId;
      record.name = Ref<char>(b.Text(font->name));
      record.value = Ref<char>(b.Text(font->value));
      b.Store(offset, record);
    }

    header.totalSize = static_cast<uint32_t>(b.Size());
    header.formatVersion = kDescriptionFormatVersion;
    header.stamp = c.stamp;
    header.protocols = h.protocols;
    header.landscapeOrientation = h.landscapeOrientation;
    header.rasterizer = h.rasterizer;
    header.languageEncoding = h.languageEncoding;
    header.freeVirtualMemory = h.freeVirtualMemory;
    header.languageLevel = h.languageLevel;
    header.suggestedJobTimeout = h.suggestedJobTimeout;
    header.suggestedWaitTimeout = h.suggestedWaitTimeout;
    header.colorDevice = h.colorDevice;
    header.printPSError = h.printPSError;
    header.customPageSize = h.customPageSize;
    header.hwMarginsPresent = h.hwMarginsPresent;
    std::memcpy(header.hwMargins, h.hwMargins, sizeof(header.hwMargins));
    std::memcpy(header.customSize, h.customSize, sizeof(header.customSize));
    header.maxMediaWidth = h.maxMediaWidth;
    header.maxMediaHeight = h.maxMediaHeight;
    header.extensions = h.extensions;
    header.resolutionKind = h.resolutionKind;
    header.screenAngle = h.screenAngle;
    header.screenFrequency = h.screenFrequency;
    header.fileVersion = h.fileVersion;
    header.printerCaps = h.printerCaps;
    header.documentFeatureCount = static_cast<uint16_t>(list.documentCount);
    header.printerFeatureCount = static_cast<uint16_t>(list.printerCount);
    header.modelType = h.modelType;
    header.printRate = h.printRate;
    b.Store(0, header);
  };

  BlockBuilder measure;
  layout(measure);
  if (measure.Size() > UINT32_MAX) return nullptr;
  DescriptionImagePtr image(static_cast<DescriptionImage*>(AllocateImageBlock(measure.Size())));
  if (!image) return nullptr;
  BlockBuilder write(reinterpret_cast<uint8_t*>(image.get()), measure.Size());
  layout(write);
  if (write.Overflowed() || write.Size() != measure.Size()) return nullptr;
  return image;
}

}  // namespace

DescriptionImagePtr CompileDescription(ParseContextPtr context, const std::filesystem::path& path) {
  if (!context) return nullptr;
  try {
    return Compile(*context, path);
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

}  // namespace qvx
