// The compiled printer description: one contiguous, position-independent block
// (header, features with their options, resident fonts, order dependencies and
// constraints). The same bytes are the cache file stored beside the description
// file. In the stored block every reference is a byte offset from the start of
// the block (0 = none); once loaded, every reference holds an address inside the
// block, so the records below can be walked with ordinary pointers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string_view>

namespace qvx {

static_assert(sizeof(void*) == 8, "the description image stores 64-bit references");

// Every record starts on an 8-byte boundary of the block (the compiler pads after
// a 4-byte text slot when needed, and loading insists on it), so the records can
// be read in place with their natural alignment.

// A 64-bit reference: an offset in the stored block, an address once loaded.
template <class T>
struct ImageRef {
  uint64_t value;
  const T* get() const noexcept { return reinterpret_cast<const T*>(static_cast<uintptr_t>(value)); }
  const T* operator->() const noexcept { return get(); }
  explicit operator bool() const noexcept { return value != 0; }
};
static_assert(sizeof(ImageRef<char>) == 8);

// Fixed-point numbers carry 8 fraction bits (sizes are 1/256 point).
using Fixed = int32_t;
constexpr Fixed kFixedOne = 256;

enum class UiType : uint16_t { Boolean = 0, PickOne = 1, PickMany = 2 };

// Predefined feature indexes (0..31); every other feature has index 32.
enum FeatureIndex : uint16_t {
  kFeaturePageSize = 0, kFeatureInputSlot = 1, kFeatureManualFeed = 2, kFeatureDuplex = 3,
  kFeatureCollate = 4, kFeatureResolution = 5, kFeatureVMOption = 6, kFeatureMediaType = 7,
  kFeatureMultiplePage = 8, kFeatureTonerSaveMode = 9, kFeaturePageProtect = 10, kFeatureHRC = 11,
  kFeaturePaper = 12, kFeatureTray = 13, kFeatureQuality = 14, kFeatureCM = 15, kFeatureICM = 16,
  kFeatureCAPT = 17, kFeatureCOLOR = 18, kFeatureCHALFTONE = 19, kFeatureMHALFTONE = 20,
  kFeatureDOCTYPE = 21, kFeatureUSEDF = 22, kFeatureTTMODE = 23, kFeatureCMPMODE = 24,
  kFeatureGMODE = 25, kFeatureDIRMODE = 26, kFeatureThickness = 27, kFeatureINTERLACE = 28,
  kFeatureKCDraft = 29, kFeatureSFQuality = 30, kFeaturePrtArea = 31,
  kPredefinedFeatureCount = 32, kFeatureOther = 32,
};

// Feature flags (FeatureRecord::flags).
constexpr uint16_t kFeatureAllSlotsRequirePageRegion = 0x1;
constexpr uint16_t kFeatureNoSlotRequiresPageRegion = 0x2;
constexpr uint16_t kFeatureJcl = 0x4;

// Option position meaning "no option" / "any option" in dependency and constraint
// records and in selection arrays.
constexpr uint8_t kNoOption = 255;
// First field of a dependency or constraint record that names something missing.
constexpr uint16_t kDroppedRecord = 0xFFFF;

struct OptionRecord {
  ImageRef<OptionRecord> next;   // 0
  ImageRef<char> name;           // 8
  uint32_t nameHash;             // 16
  uint32_t reserved20;           // 20
  ImageRef<char> translation;    // 24
  ImageRef<char> invocation;     // 32: invocation or value text
};
static_assert(sizeof(OptionRecord) == 40);
static_assert(offsetof(OptionRecord, next) == 0);
static_assert(offsetof(OptionRecord, name) == 8);
static_assert(offsetof(OptionRecord, nameHash) == 16);
static_assert(offsetof(OptionRecord, translation) == 24);
static_assert(offsetof(OptionRecord, invocation) == 32);

// Imageable area: lower-left x, lower-left y, upper-right x, upper-right y and two
// further values.
struct ImageableArea {
  Fixed llx, lly, urx, ury, extra1, extra2;
};
static_assert(sizeof(ImageableArea) == 24);

// Options of feature 0 (PageSize).
struct PaperOption {
  OptionRecord base;                    // 0
  ImageRef<char> landscapeInvocation;   // 40
  ImageRef<char> regionInvocation;      // 48
  Fixed width;                          // 56
  Fixed height;                         // 60
  ImageableArea area;                   // 64
  ImageableArea areaLandscape;          // 88
};
static_assert(sizeof(PaperOption) == 112);
static_assert(offsetof(PaperOption, landscapeInvocation) == 40);
static_assert(offsetof(PaperOption, regionInvocation) == 48);
static_assert(offsetof(PaperOption, width) == 56);
static_assert(offsetof(PaperOption, height) == 60);
static_assert(offsetof(PaperOption, area) == 64);
static_assert(offsetof(PaperOption, areaLandscape) == 88);

// Options of feature 1 (InputSlot).
struct InputSlotOption {
  OptionRecord base;            // 0
  uint32_t requiresPageRegion;  // 40
  uint32_t reserved44;          // 44
};
static_assert(sizeof(InputSlotOption) == 48);
static_assert(offsetof(InputSlotOption, requiresPageRegion) == 40);

// Options of feature 5 (Resolution).
struct ResolutionOption {
  OptionRecord base;             // 0
  ImageRef<char> jclInvocation;  // 40
  ImageRef<char> setInvocation;  // 48
  Fixed screenAngle;             // 56
  Fixed screenFrequency;         // 60
};
static_assert(sizeof(ResolutionOption) == 64);
static_assert(offsetof(ResolutionOption, jclInvocation) == 40);
static_assert(offsetof(ResolutionOption, setInvocation) == 48);
static_assert(offsetof(ResolutionOption, screenAngle) == 56);
static_assert(offsetof(ResolutionOption, screenFrequency) == 60);

// Options of feature 6 (VMOption).
struct MemoryOption {
  OptionRecord base;    // 0
  uint32_t memory;      // 40
  uint32_t reserved44;  // 44
};
static_assert(sizeof(MemoryOption) == 48);
static_assert(offsetof(MemoryOption, memory) == 40);

struct FeatureRecord {
  ImageRef<FeatureRecord> next;        // 0
  ImageRef<char> name;                 // 8
  uint32_t nameHash;                   // 16
  uint32_t reserved20;                 // 20
  ImageRef<char> translation;          // 24
  uint64_t defaultValue;               // 32: default option position; dpi for feature 5
  uint32_t optionSize;                 // 40: size of each option record
  uint16_t index;                      // 44: 0..31 predefined, 32 other
  uint16_t flags;                      // 46: kFeature* flags
  UiType uiType;                       // 48
  uint16_t position;                   // 50: position within its group
  uint16_t printerFeature;             // 52: 1 for a printer (installable) feature
  uint16_t reserved54;                 // 54
  ImageRef<OptionRecord> firstOption;  // 56
};
static_assert(sizeof(FeatureRecord) == 64);
static_assert(offsetof(FeatureRecord, next) == 0);
static_assert(offsetof(FeatureRecord, name) == 8);
static_assert(offsetof(FeatureRecord, nameHash) == 16);
static_assert(offsetof(FeatureRecord, translation) == 24);
static_assert(offsetof(FeatureRecord, defaultValue) == 32);
static_assert(offsetof(FeatureRecord, optionSize) == 40);
static_assert(offsetof(FeatureRecord, index) == 44);
static_assert(offsetof(FeatureRecord, flags) == 46);
static_assert(offsetof(FeatureRecord, uiType) == 48);
static_assert(offsetof(FeatureRecord, position) == 50);
static_assert(offsetof(FeatureRecord, printerFeature) == 52);
static_assert(offsetof(FeatureRecord, firstOption) == 56);

struct FontRecord {
  ImageRef<FontRecord> next;  // 0
  ImageRef<char> name;        // 8
  uint32_t nameHash;          // 16
  uint32_t reserved20;        // 20
  ImageRef<char> value;       // 24
  uint16_t zero32;            // 32
  uint16_t zero34;            // 34
  uint16_t fontId;            // 36
  uint16_t reserved38;        // 38
};
static_assert(sizeof(FontRecord) == 40);
static_assert(offsetof(FontRecord, value) == 24);
static_assert(offsetof(FontRecord, fontId) == 36);

// Order dependency sections (bits).
constexpr uint32_t kSectionExitServer = 1, kSectionProlog = 2, kSectionDocumentSetup = 4,
                   kSectionPageSetup = 8, kSectionJclSetup = 16, kSectionAnySetup = 32;

struct OrderDependencyRecord {
  uint16_t featurePosition;  // 0: kDroppedRecord when unresolved
  uint16_t optionPosition;   // 2: kNoOption when the entry named none
  Fixed order;               // 4
  uint32_t sections;         // 8
};
static_assert(sizeof(OrderDependencyRecord) == 12);

struct OrderDependencyTable {
  uint16_t count;
  uint16_t recordSize;  // 12
  // OrderDependencyRecord records[count] follow.
  const OrderDependencyRecord* records() const noexcept {
    return reinterpret_cast<const OrderDependencyRecord*>(this + 1);
  }
};
static_assert(sizeof(OrderDependencyTable) == 4);

struct ConstraintRecord {
  uint16_t feature1;  // kDroppedRecord when unresolved
  uint16_t option1;   // kNoOption: any option
  uint16_t feature2;
  uint16_t option2;
};
static_assert(sizeof(ConstraintRecord) == 8);

struct ConstraintTable {
  uint16_t count;
  uint16_t recordSize;  // 8
  const ConstraintRecord* records() const noexcept {
    return reinterpret_cast<const ConstraintRecord*>(this + 1);
  }
};
static_assert(sizeof(ConstraintTable) == 4);

// Custom page size parameter: width, height, width offset, height offset, orientation.
struct CustomSizeParameter {
  uint32_t order;     // 1..5, 0 when not given
  uint16_t type;      // "int" 0, "real" 1, "points" 2
  uint16_t reserved;
  Fixed minimum;
  Fixed maximum;
};
static_assert(sizeof(CustomSizeParameter) == 16);

constexpr uint16_t kDescriptionFormatVersion = 3;
constexpr uint32_t kDescriptionHeaderSize = 576;

// The header at offset 0 of the block; an image pointer points at it.
struct DescriptionImage {
  uint32_t totalSize;                          // 0
  uint32_t reserved4;                          // 4
  ImageRef<char16_t> path;                     // 8: description file path, UTF-16
  ImageRef<char> nickname;                     // 16
  uint16_t formatVersion;                      // 24: kDescriptionFormatVersion
  uint16_t stamp;                              // 26: CRC-16 of the description file
  uint16_t protocols;                          // 28
  uint16_t landscapeOrientation;               // 30
  uint16_t rasterizer;                         // 32
  uint16_t languageEncoding;                   // 34
  uint32_t freeVirtualMemory;                  // 36
  uint32_t languageLevel;                      // 40
  uint32_t reserved44;                         // 44
  ImageRef<char> password;                     // 48
  ImageRef<char> exitServer;                   // 56
  uint32_t suggestedJobTimeout;                // 64
  uint32_t suggestedWaitTimeout;               // 68
  uint32_t colorDevice;                        // 72
  uint32_t printPSError;                       // 76
  uint32_t customPageSize;                     // 80
  uint32_t hwMarginsPresent;                   // 84
  Fixed hwMargins[4];                          // 88
  ImageRef<char> customPageSizeInvocation;     // 104
  CustomSizeParameter customSize[5];           // 112
  Fixed maxMediaWidth;                         // 192
  Fixed maxMediaHeight;                        // 196
  uint16_t extensions;                         // 200
  uint16_t resolutionKind;                     // 202
  Fixed screenAngle;                           // 204
  Fixed screenFrequency;                       // 208
  uint32_t reserved212;                        // 212
  ImageRef<char> jclBegin;                     // 216
  ImageRef<char> jclToPSInterpreter;           // 224
  ImageRef<char> jclEnd;                       // 232
  Fixed fileVersion;                           // 240
  uint32_t printerCaps;                        // 244
  uint8_t reserved248[8];                      // 248
  ImageRef<char> sleepMode;                    // 256
  ImageRef<char> memorySize;                   // 264
  uint16_t documentFeatureCount;               // 272
  uint16_t printerFeatureCount;                // 274
  uint32_t reserved276;                        // 276
  ImageRef<FeatureRecord> firstFeature;        // 280
  ImageRef<FeatureRecord> featureSlots[32];    // 288: filled when loaded
  uint32_t modelType;                          // 544
  uint32_t printRate;                          // 548
  ImageRef<FontRecord> firstFont;              // 552
  ImageRef<OrderDependencyTable> orderDependencies;  // 560
  ImageRef<ConstraintTable> constraints;       // 568
};
static_assert(sizeof(DescriptionImage) == kDescriptionHeaderSize);
static_assert(offsetof(DescriptionImage, path) == 8);
static_assert(offsetof(DescriptionImage, nickname) == 16);
static_assert(offsetof(DescriptionImage, formatVersion) == 24);
static_assert(offsetof(DescriptionImage, stamp) == 26);
static_assert(offsetof(DescriptionImage, protocols) == 28);
static_assert(offsetof(DescriptionImage, landscapeOrientation) == 30);
static_assert(offsetof(DescriptionImage, rasterizer) == 32);
static_assert(offsetof(DescriptionImage, languageEncoding) == 34);
static_assert(offsetof(DescriptionImage, freeVirtualMemory) == 36);
static_assert(offsetof(DescriptionImage, languageLevel) == 40);
static_assert(offsetof(DescriptionImage, password) == 48);
static_assert(offsetof(DescriptionImage, exitServer) == 56);
static_assert(offsetof(DescriptionImage, suggestedJobTimeout) == 64);
static_assert(offsetof(DescriptionImage, suggestedWaitTimeout) == 68);
static_assert(offsetof(DescriptionImage, colorDevice) == 72);
static_assert(offsetof(DescriptionImage, printPSError) == 76);
static_assert(offsetof(DescriptionImage, customPageSize) == 80);
static_assert(offsetof(DescriptionImage, hwMarginsPresent) == 84);
static_assert(offsetof(DescriptionImage, hwMargins) == 88);
static_assert(offsetof(DescriptionImage, customPageSizeInvocation) == 104);
static_assert(offsetof(DescriptionImage, customSize) == 112);
static_assert(offsetof(DescriptionImage, maxMediaWidth) == 192);
static_assert(offsetof(DescriptionImage, maxMediaHeight) == 196);
static_assert(offsetof(DescriptionImage, extensions) == 200);
static_assert(offsetof(DescriptionImage, resolutionKind) == 202);
static_assert(offsetof(DescriptionImage, screenAngle) == 204);
static_assert(offsetof(DescriptionImage, screenFrequency) == 208);
static_assert(offsetof(DescriptionImage, jclBegin) == 216);
static_assert(offsetof(DescriptionImage, jclToPSInterpreter) == 224);
static_assert(offsetof(DescriptionImage, jclEnd) == 232);
static_assert(offsetof(DescriptionImage, fileVersion) == 240);
static_assert(offsetof(DescriptionImage, printerCaps) == 244);
static_assert(offsetof(DescriptionImage, sleepMode) == 256);
static_assert(offsetof(DescriptionImage, memorySize) == 264);
static_assert(offsetof(DescriptionImage, documentFeatureCount) == 272);
static_assert(offsetof(DescriptionImage, printerFeatureCount) == 274);
static_assert(offsetof(DescriptionImage, firstFeature) == 280);
static_assert(offsetof(DescriptionImage, featureSlots) == 288);
static_assert(offsetof(DescriptionImage, modelType) == 544);
static_assert(offsetof(DescriptionImage, printRate) == 548);
static_assert(offsetof(DescriptionImage, firstFont) == 552);
static_assert(offsetof(DescriptionImage, orderDependencies) == 560);
static_assert(offsetof(DescriptionImage, constraints) == 568);

// ---------------------------------------------------------------------------
// Building and loading

// The parse tree of one description file (opaque; consumed by CompileDescription).
struct ParseContext;
struct ParseContextDeleter { void operator()(ParseContext* context) const noexcept; };
using ParseContextPtr = std::unique_ptr<ParseContext, ParseContextDeleter>;

// The image is one zero-filled block (GlobalAlloc fixed on Windows); it is freed
// only through FreeDescriptionImage.
void FreeDescriptionImage(DescriptionImage* image) noexcept;
struct DescriptionImageDeleter {
  void operator()(DescriptionImage* image) const noexcept { FreeDescriptionImage(image); }
};
using DescriptionImagePtr = std::unique_ptr<DescriptionImage, DescriptionImageDeleter>;

// Reads a description file (any bytes). Null when the file cannot be read, a token
// is longer than 40 characters or memory runs out; syntax errors only drop entries.
ParseContextPtr ParseDescriptionFile(const std::filesystem::path& path);
// The same for text already in memory (tests, fuzzing, tools).
ParseContextPtr ParseDescriptionBuffer(std::span<const uint8_t> bytes);

// Builds the image from a parse tree and frees the tree. The result is the stored
// form (references are offsets) unless it is then relocated with RelocateImage;
// `path` is recorded in the header. Null on memory exhaustion.
DescriptionImagePtr CompileDescription(ParseContextPtr context, const std::filesystem::path& path);

// Checks a stored block (every reference, text, record and count must lie inside
// it) and turns its references into addresses, filling the 32 feature slots.
// False, leaving the block unusable, when anything does not hold.
bool RelocateImage(DescriptionImage* image, size_t blockSize) noexcept;

// Copies a stored block (a cache file's bytes) into a new image and relocates it;
// null when the bytes are not a sound image.
DescriptionImagePtr AdoptImageBytes(std::span<const uint8_t> bytes);

// The cache file beside a description: the extension replaced by "QDD".
std::filesystem::path CacheFilePathFor(const std::filesystem::path& descriptionPath);

// The description's image: from the cache file when it is valid for the
// description, otherwise parsed, compiled and written to the cache file.
DescriptionImagePtr LoadDescriptionImage(const std::filesystem::path& descriptionPath);

// ---------------------------------------------------------------------------
// Lookups on a loaded image (all read-only; null/-1 when absent)

// Feature with predefined index k (0..31).
const FeatureRecord* GetFeature(const DescriptionImage* image, unsigned index) noexcept;
// Feature at a position of the final list (document features, then printer features).
const FeatureRecord* GetFeatureAtPosition(const DescriptionImage* image, unsigned position) noexcept;
// Option at a position within a feature.
const OptionRecord* GetOption(const FeatureRecord* feature, unsigned position) noexcept;
// Position of the option with this name (hash, then exact name).
int FindOptionPosition(const FeatureRecord* feature, std::string_view name) noexcept;
// Position of the option whose translation equals the text or whose name matches.
int FindOptionByNameOrTranslation(const FeatureRecord* feature, std::string_view text) noexcept;
// The integer at the start of the invocation text of feature k's default option;
// 0 when the description lacks the feature.
int GetFeatureDefaultValue(const DescriptionImage* image, unsigned index) noexcept;
// Default option position of a feature (for feature 5 its default dpi).
unsigned GetFeatureDefault(const FeatureRecord* feature) noexcept;
unsigned CountOptions(const FeatureRecord* feature) noexcept;
bool IsPrinterFeature(const FeatureRecord* feature) noexcept;
// Position of the feature in the final list (printer features follow the
// document features).
unsigned GetFeatureListPosition(const DescriptionImage* image, const FeatureRecord* feature) noexcept;
unsigned GetDocumentFeatureCount(const DescriptionImage* image) noexcept;
unsigned GetPrinterFeatureCount(const DescriptionImage* image) noexcept;
uint16_t GetDescriptionStamp(const DescriptionImage* image) noexcept;
// Name hash used for features, options and fonts: h = (h * 2) XOR byte.
uint32_t DescriptionNameHash(std::string_view name) noexcept;

// ---------------------------------------------------------------------------
// Constraints. Feature positions count through the final list; options are
// positions within the feature, kNoOption meaning none/any.

// True when a constraint record's first pair matches (feature1, option1) and its
// second pair (feature2, option2).
bool IsConstrained(const DescriptionImage* image, unsigned feature1, unsigned option1,
                   unsigned feature2, unsigned option2) noexcept;

// Conflict of a candidate selection with the current selections. printerSelections
// has one option per printer feature (by position within the group);
// documentSelections, when not empty, one per document feature. Without document
// selections the candidate is printer feature `candidateFeature` (position within
// the printer group); with them it is the feature at that list position.
// 0 when nothing conflicts; otherwise ((p | 0x100) << 8) | option for a
// conflicting printer feature at group position p, ((p | 0x200) << 8) | option for
// a conflicting document feature at position p.
uint32_t FindConflict(const DescriptionImage* image, std::span<const uint8_t> printerSelections,
                      std::span<const uint8_t> documentSelections, unsigned candidateFeature,
                      unsigned candidateOption) noexcept;

// Fills one selection per printer feature, starting from the defaults and moving
// away from conflicts. Returns the number of printer features in the low 16 bits.
// `selections` must hold GetPrinterFeatureCount(image) bytes; extra bytes are untouched.
uint32_t ResolvePrinterSelections(const DescriptionImage* image, std::span<uint8_t> selections) noexcept;

}  // namespace qvx
