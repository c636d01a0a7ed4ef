// The parse tree of one description file, shared by the parser and the compiler.
// Every node lives in the context's arena.
#pragma once

#include <bitset>
#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "arena.h"
#include "description_image.h"

namespace qvx {

struct ParsedOption {
  ParsedOption* next;
  const char* name;
  uint32_t nameHash;
  const char* translation;
  const char* invocation;
  // PageSize: landscape and region invocations; Resolution: JCL and set invocations.
  const char* text40;
  const char* text48;
  Fixed width, height;
  ImageableArea area;
  ImageableArea areaLandscape;
  Fixed screenAngle, screenFrequency;
  uint32_t requiresPageRegion;
  uint32_t memory;
  bool hasDimension, hasArea, hasAreaLandscape, hasScreenAngle, hasScreenFrequency, hasMemory;
};

struct ParsedFeature {
  ParsedFeature* next;
  const char* name;
  uint32_t nameHash;
  const char* translation;
  const char* defaultText;
  uint32_t optionSize;
  uint16_t index;          // 0..31, or kFeatureOther
  uint16_t flags;          // kFeature* flags
  UiType uiType;
  bool printerFeature;
  ParsedOption* firstOption;
  ParsedOption* lastOption;
  uint32_t optionCount;
};

struct ParsedFont {
  ParsedFont* next;
  const char* name;
  uint32_t nameHash;
  const char* value;
  uint16_t fontId;
};

struct ParsedOrderDependency {
  ParsedOrderDependency* next;
  const char* feature;
  const char* option;  // null: none
  Fixed order;
  uint32_t sections;
};

struct ParsedConstraint {
  ParsedConstraint* next;
  const char* feature1;
  const char* option1;  // null: any
  const char* feature2;
  const char* option2;
};

struct ParsedHeader {
  const char* nickname;
  const char* password;
  const char* exitServer;
  const char* customPageSizeInvocation;
  const char* jclBegin;
  const char* jclToPSInterpreter;
  const char* jclEnd;
  const char* sleepMode;
  const char* memorySize;
  uint16_t protocols;
  uint16_t landscapeOrientation;
  uint16_t rasterizer;
  uint16_t languageEncoding;
  uint32_t freeVirtualMemory;
  uint32_t languageLevel = 1;
  uint32_t suggestedJobTimeout;
  uint32_t suggestedWaitTimeout = 240;
  uint32_t colorDevice;
  uint32_t printPSError;
  uint32_t customPageSize;
  uint32_t hwMarginsPresent;
  Fixed hwMargins[4];
  CustomSizeParameter customSize[5];
  Fixed maxMediaWidth;
  Fixed maxMediaHeight;
  uint16_t extensions;
  uint16_t resolutionKind;
  Fixed screenAngle = 45 * kFixedOne;
  Fixed screenFrequency = 60 * kFixedOne;
  Fixed fileVersion;
  uint32_t printerCaps;
  uint32_t modelType;
  uint32_t printRate;
};

constexpr unsigned kKeywordCount = 119;

struct ParseContext {
  Arena arena;
  ParsedHeader header{};
  uint16_t stamp = 0;
  ParsedFeature* firstFeature = nullptr;
  ParsedFeature* lastFeature = nullptr;
  ParsedFeature* slots[kPredefinedFeatureCount] = {};
  ParsedFont* firstFont = nullptr;
  ParsedFont* lastFont = nullptr;
  ParsedOrderDependency* firstOrder = nullptr;
  ParsedOrderDependency* lastOrder = nullptr;
  uint32_t orderCount = 0;
  ParsedConstraint* firstConstraint = nullptr;
  ParsedConstraint* lastConstraint = nullptr;
  uint32_t constraintCount = 0;
  bool inInstallableGroup = false;
  ParsedFeature* openFeature = nullptr;  // feature of index 32 whose OpenUI block is open
  std::bitset<kKeywordCount> seen;       // non-repeatable keywords already handled
  std::unordered_map<std::string_view, ParsedFeature*> featuresByName;  // keys live in the arena
};

// Option record size of each predefined feature (40 for all others).
constexpr uint32_t OptionSizeForFeature(unsigned index) noexcept {
  switch (index) {
    case kFeaturePageSize: return sizeof(PaperOption);
    case kFeatureInputSlot: return sizeof(InputSlotOption);
    case kFeatureResolution: return sizeof(ResolutionOption);
    case kFeatureVMOption: return sizeof(MemoryOption);
    default: return sizeof(OptionRecord);
  }
}

extern const char* const kPredefinedFeatureNames[kPredefinedFeatureCount];

// CRC-16, polynomial 0x1021, MSB first, initial 0, no final XOR.
uint16_t DescriptionStamp(std::span<const uint8_t> bytes) noexcept;

// Numbers as the description writes them. Both skip leading blanks, need at least
// one digit, store negative numbers as 0 and saturate on overflow. `rest` receives
// the unread remainder.
bool ParseDescriptionInteger(std::string_view text, uint32_t& value, std::string_view* rest = nullptr) noexcept;
bool ParseDescriptionFixed(std::string_view text, Fixed& value, std::string_view* rest = nullptr) noexcept;

}  // namespace qvx
