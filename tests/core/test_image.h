// Builds a loaded description image in memory for tests of the settings
// logic, without going through the description parser: features and options
// are given directly, references are real addresses as after loading.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "description_image.h"

namespace qvx::test {

struct TestOption {
  TestOption(std::string n, std::string v = "", std::string t = "", Fixed w = 0, Fixed h = 0)
      : name(std::move(n)), value(std::move(v)), translation(std::move(t)), width(w), height(h) {}
  std::string name;
  std::string value;        // invocation / value text
  std::string translation;  // empty: none
  Fixed width = 0;          // "PageSize" options only, 1/256 point
  Fixed height = 0;
};

class TestImage {
 public:
  TestImage& Feature(unsigned index, std::vector<TestOption> options, unsigned defaultPosition = 0,
                     bool printerFeature = false) {
    features_.push_back({index, std::move(options), defaultPosition, printerFeature});
    return *this;
  }
  TestImage& Stamp(uint16_t stamp) { stamp_ = stamp; return *this; }
  TestImage& Color(bool color) { color_ = color; return *this; }
  TestImage& ModelType(uint32_t bits) { modelType_ = bits; return *this; }
  TestImage& SleepMode(std::string text) { sleepMode_ = std::move(text); return *this; }
  TestImage& MemorySize(std::string text) { memorySize_ = std::move(text); return *this; }

  // The image stays valid as long as this builder (and is rebuilt by every call).
  const DescriptionImage* Build() {
    block_.assign(1 << 15, 0);
    used_ = 0;
    auto* header = Alloc<DescriptionImage>(sizeof(DescriptionImage));
    header->formatVersion = kDescriptionFormatVersion;
    header->stamp = stamp_;
    header->colorDevice = color_ ? 1 : 0;
    header->modelType = modelType_;
    if (!sleepMode_.empty()) header->sleepMode.value = Text(sleepMode_);
    if (!memorySize_.empty()) header->memorySize.value = Text(memorySize_);

    ImageRef<FeatureRecord>* link = &header->firstFeature;
    uint16_t counts[2] = {0, 0};
    for (bool printer : {false, true}) {
      for (const auto& spec : features_) {
        if (spec.printer != printer) continue;
        auto* f = Alloc<FeatureRecord>(sizeof(FeatureRecord));
        f->index = static_cast<uint16_t>(spec.index);
        f->name.value = Text("Feature" + std::to_string(spec.index));
        f->nameHash = DescriptionNameHash(f->name.get());
        f->defaultValue = spec.defaultPosition;
        f->optionSize = OptionSize(spec.index);
        f->uiType = UiType::PickOne;
        f->position = counts[printer]++;
        f->printerFeature = printer ? 1 : 0;
        ImageRef<OptionRecord>* optionLink = &f->firstOption;
        for (const auto& o : spec.options) {
          auto* option = Alloc<OptionRecord>(f->optionSize);
          option->name.value = Text(o.name);
          option->nameHash = DescriptionNameHash(o.name);
          if (!o.translation.empty()) option->translation.value = Text(o.translation);
          option->invocation.value = Text(o.value);
          if (spec.index == kFeaturePageSize) {
            auto* paper = reinterpret_cast<PaperOption*>(option);
            paper->width = o.width;
            paper->height = o.height;
          }
          optionLink->value = Address(option);
          optionLink = &option->next;
        }
        if (spec.index < kPredefinedFeatureCount) header->featureSlots[spec.index].value = Address(f);
        link->value = Address(f);
        link = &f->next;
      }
    }
    header->documentFeatureCount = counts[0];
    header->printerFeatureCount = counts[1];
    header->totalSize = static_cast<uint32_t>(used_);
    return header;
  }

 private:
  struct Spec {
    unsigned index;
    std::vector<TestOption> options;
    unsigned defaultPosition;
    bool printer;
  };

  static uint32_t OptionSize(unsigned index) {
    switch (index) {
      case kFeaturePageSize: return sizeof(PaperOption);
      case kFeatureInputSlot: return sizeof(InputSlotOption);
      case kFeatureResolution: return sizeof(ResolutionOption);
      case kFeatureVMOption: return sizeof(MemoryOption);
      default: return sizeof(OptionRecord);
    }
  }
  template <class T>
  T* Alloc(size_t size) {
    auto* p = reinterpret_cast<uint8_t*>(block_.data()) + used_;
    used_ += (size + 7) & ~size_t{7};
    if (used_ > block_.size() * 8) throw std::length_error("test image too large");
    return reinterpret_cast<T*>(p);
  }
  uint64_t Text(const std::string& text) {
    char* p = Alloc<char>(text.size() + 1);
    std::memcpy(p, text.c_str(), text.size() + 1);
    return Address(p);
  }
  static uint64_t Address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

  std::vector<Spec> features_;
  uint16_t stamp_ = 0x1234;
  bool color_ = true;
  uint32_t modelType_ = 0;
  std::string sleepMode_, memorySize_;
  std::vector<uint64_t> block_;
  size_t used_ = 0;
};

}  // namespace qvx::test
