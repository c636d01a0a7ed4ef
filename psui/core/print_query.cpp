#include "print_query.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <new>
#include <optional>

#include "forms.h"
#include "paper_forms.h"
#include "printer_data.h"
#include "settings_defaults.h"
#include "settings_merge.h"
#include "trays.h"

namespace qvx::core {
namespace {

constexpr size_t kMaxInsertedString = 256;
constexpr size_t kMaxTrayName = 64;
// Inserted strings may hold directives themselves; deeper nesting is taken
// literally so that a string cannot expand itself without end.
constexpr int kMaxInsertDepth = 4;

constexpr int16_t kSourceFeeder = 15;
constexpr int16_t kSourceManual = 4;
constexpr int16_t kSourceManualEnvelope = 6;
constexpr int16_t kFirstSlotSource = 256;

class MessageWriter {
 public:
  MessageWriter(char16_t* buffer, size_t capacity) : buffer_(buffer), capacity_(capacity) {}

  void Put(char16_t c) {
    if (buffer_ != nullptr && written_ + 1 < capacity_) buffer_[written_++] = c;
    ++total_;
  }
  void Put(std::u16string_view text) {
    for (char16_t c : text) Put(c);
  }
  void PutAscii(const char* text) {
    for (; *text; ++text) Put(static_cast<char16_t>(*text));
  }
  size_t Finish() {
    if (buffer_ != nullptr && capacity_ > 0) buffer_[written_] = u'\0';
    return written_;
  }
  size_t Total() const { return total_; }

 private:
  char16_t* buffer_;
  size_t capacity_;
  size_t written_ = 0;
  size_t total_ = 0;
};

struct Formatter {
  Platform& platform;
  StringSource source;
  std::span<const QueryArg> args;
  size_t next = 0;
  MessageWriter& out;

  const QueryArg* NextArg() { return next < args.size() ? &args[next++] : nullptr; }

  std::optional<uint32_t> NextNumber() {
    const QueryArg* arg = NextArg();
    if (arg == nullptr || !std::holds_alternative<uint32_t>(*arg)) return std::nullopt;
    return std::get<uint32_t>(*arg);
  }

  void Expand(std::u16string_view format, int depth) {
    for (size_t i = 0; i < format.size(); ++i) {
      if (format[i] != u'%' || i + 1 == format.size()) {
        out.Put(format[i]);
        continue;
      }
      const char16_t directive = format[++i];
      char number[16];
      switch (directive) {
        case u'!': {
          const auto id = NextNumber();
          if (!id) break;
          auto text = platform.GetString(source, *id);
          if (!text) break;
          if (text->size() > kMaxInsertedString) text->resize(kMaxInsertedString);
          if (depth < kMaxInsertDepth) {
            Expand(*text, depth + 1);
          } else {
            out.Put(*text);
          }
          break;
        }
        case u's': {
          const QueryArg* arg = NextArg();
          if (arg != nullptr && std::holds_alternative<std::u16string_view>(*arg)) {
            out.Put(std::get<std::u16string_view>(*arg));
          }
          break;
        }
        case u'd':
        case u'u':
        case u'x':
        case u'X': {
          const auto value = NextNumber();
          if (!value) break;
          const char* pattern = directive == u'd' ? "%ld" : directive == u'u' ? "%lu" : directive == u'x' ? "%lx" : "%lX";
          if (directive == u'd') {
            std::snprintf(number, sizeof number, pattern, static_cast<long>(static_cast<int32_t>(*value)));
          } else {
            std::snprintf(number, sizeof number, pattern, static_cast<unsigned long>(*value));
          }
          out.PutAscii(number);
          break;
        }
        case u'c': {
          if (const auto value = NextNumber()) out.Put(static_cast<char16_t>(*value));
          break;
        }
        default:
          out.Put(directive);
          break;
      }
    }
  }
};

// The decimal number at the start of a text; nullopt without digits.
std::optional<int> LeadingNumber(const char* text) {
  if (text == nullptr) return std::nullopt;
  const char* end = text;
  while (*end >= '0' && *end <= '9') ++end;
  int value = 0;
  const auto [ptr, ec] = std::from_chars(text, end, value);
  if (ec != std::errc{} || ptr == text) return std::nullopt;
  return value;
}

QueryVerdict Refuse(uint32_t message) {
  QueryVerdict verdict;
  verdict.printable = false;
  verdict.message = message;
  return verdict;
}

bool SpoolerFormAvailable(Printer& printer, const DescriptionImage* image, std::u16string_view name) {
  const auto forms = printer.ListForms();
  if (!forms) return false;
  return std::any_of(forms->begin(), forms->end(),
                     [&](const FormInfo& form) { return form.name == name && FormIsAvailable(image, form); });
}

QueryVerdict CheckPaperAndTray(Printer& printer, const DescriptionImage* image, const void* job, size_t jobSize,
                               const SettingsRecord& merged) {
  const uint32_t jobFields = LoadU32(job, jobSize, offsetof(DevModeW, dmFields));
  if ((jobFields & dm::kPaperSize) == 0) return Refuse(query_message::kPaperUnknown);
  SettingsRecord lookupRecord = merged;
  PaperForm paper;
  switch (LookupPaperForm(lookupRecord, paper, image)) {
    case PaperLookup::NotFound:
      return Refuse(query_message::kPaperUnknown);
    case PaperLookup::Custom:
      // The description's forms are all fixed sizes: no custom size is one.
      return Refuse(query_message::kCustomSize);
    case PaperLookup::Found:
      break;
  }
  const std::u16string formName = WidenText(paper.name);
  std::u16string tray;
  const int16_t source = merged.dm.dmDefaultSource;
  if ((merged.dm.dmFields & dm::kDefaultSource) != 0 && source != kSourceFeeder) {
    if (source == kSourceManual || source == kSourceManualEnvelope) {
      if (!SpoolerFormAvailable(printer, image, formName)) return Refuse(query_message::kManualFeedForm);
    } else if (source >= kFirstSlotSource) {
      const OptionRecord* slot =
          GetOption(GetFeature(image, kFeatureInputSlot), static_cast<unsigned>(source - kFirstSlotSource));
      if (slot != nullptr) tray = OptionDisplayName(slot, kMaxTrayName);
    }
  }
  const auto table = ReadTrayFormTable(printer);
  if (!table) return {};
  const bool loaded = std::any_of(table->begin(), table->end(), [&](const TrayFormEntry& entry) {
    return entry.form == formName && (tray.empty() || entry.tray == tray);
  });
  if (loaded) return {};
  QueryVerdict verdict = Refuse(query_message::kFormNotLoaded);
  verdict.form = formName;
  verdict.tray = tray;
  return verdict;
}

bool HasConflict(Platform& platform, Printer& printer, const DescriptionImage* image, SettingsRecord& merged) {
  const PrinterRecord printerRecord = ReadPrinterRecord(platform, printer, image);
  UpdateSelectionsFromPublicFields(merged, image);
  const std::span<const uint8_t> printerSelections(printerRecord.selections, printerRecord.featureCount);
  const size_t documentCount = std::min<size_t>(
      {merged.optionCount, kOptionSelectionCapacity, GetDocumentFeatureCount(image)});
  const std::span<const uint8_t> documentSelections(merged.optionSelections, documentCount);
  for (size_t i = 0; i < documentCount; ++i) {
    if (FindConflict(image, printerSelections, documentSelections, static_cast<unsigned>(i),
                     documentSelections[i]) != 0) {
      return true;
    }
  }
  return false;
}

bool ResolutionAvailable(const DescriptionImage* image, int printQuality) {
  const FeatureRecord* resolution = GetFeature(image, kFeatureResolution);
  for (const OptionRecord* o = resolution ? resolution->firstOption.get() : nullptr; o; o = o->next.get()) {
    if (LeadingNumber(o->name.get()) == printQuality) return true;
  }
  const unsigned fallback = resolution != nullptr ? GetFeatureDefault(resolution) : 300;
  return static_cast<int>(fallback) == printQuality;
}

}  // namespace

size_t FormatQueryMessage(Platform& platform, StringSource source, char16_t* buffer, size_t bufferChars,
                          size_t* needed, std::u16string_view format, std::span<const QueryArg> args) {
  MessageWriter out(buffer, bufferChars);
  Formatter{platform, source, args, 0, out}.Expand(format, 0);
  const size_t written = out.Finish();
  if (needed != nullptr) *needed = out.Total() + 1;
  return written;
}

void UpdateSelectionsFromPublicFields(SettingsRecord& record, const DescriptionImage* image) {
  const DevModeW& dm = record.dm;
  const size_t count = std::min<size_t>(record.optionCount, kOptionSelectionCapacity);
  auto select = [&](unsigned featureIndex, int option) {
    const FeatureRecord* feature = GetFeature(image, featureIndex);
    if (feature == nullptr || IsPrinterFeature(feature)) return;
    const unsigned position = GetFeatureListPosition(image, feature);
    if (position < count) record.optionSelections[position] = option >= 0 && option < 255 ? option : kNoOption;
  };
  if (dm.dmFields & dm::kCollate) {
    select(kFeatureCollate, FindOptionPosition(GetFeature(image, kFeatureCollate), dm.dmCollate == 1 ? "True" : "False"));
  }
  if (dm.dmFields & dm::kDuplex) {
    const char* name = dm.dmDuplex == 3 ? "DuplexTumble" : dm.dmDuplex == 2 ? "DuplexNoTumble" : "None";
    select(kFeatureDuplex, FindOptionPosition(GetFeature(image, kFeatureDuplex), name));
  }
  if (dm.dmFields & dm::kPrintQuality) {
    int position = -1;
    int i = 0;
    const FeatureRecord* resolution = GetFeature(image, kFeatureResolution);
    for (const OptionRecord* o = resolution ? resolution->firstOption.get() : nullptr; o; o = o->next.get(), ++i) {
      const auto value = LeadingNumber(o->name.get());
      if (value && *value > 0 && *value == dm.dmPrintQuality) {
        position = i;
        break;
      }
    }
    select(kFeatureResolution, position);
  }
  if (dm.dmFields & dm::kFormName) {
    const std::string form = NarrowText(FieldText(dm.dmFormName, std::size(dm.dmFormName)));
    select(kFeaturePageSize, FindOptionByNameOrTranslation(GetFeature(image, kFeaturePageSize), form));
  }
  if (dm.dmFields & dm::kDefaultSource) {
    select(kFeatureInputSlot, dm.dmDefaultSource >= kFirstSlotSource ? dm.dmDefaultSource - kFirstSlotSource : -1);
  }
}

QueryVerdict EvaluatePrintQuery(Platform& platform, Printer& printer, const DescriptionImage* image,
                                const void* job, size_t jobSize) {
  if (job == nullptr) return {};
  try {
    if (image == nullptr) return Refuse(query_message::kNoDescription);
    auto merged = std::make_unique<SettingsRecord>();
    BuildDefaultSettings(*merged, u"", image, IsMetricCountry(platform), platform);
    if (!MergeSettings(*merged, job, jobSize, &printer, image, platform)) return Refuse(query_message::kBadSettings);
    QueryVerdict verdict = CheckPaperAndTray(printer, image, job, jobSize, *merged);
    if (!verdict.printable) return verdict;
    if (HasConflict(platform, printer, image, *merged)) return Refuse(query_message::kConflict);
    if (!ResolutionAvailable(image, merged->dm.dmPrintQuality)) return Refuse(query_message::kResolution);
    return {};
  } catch (const std::bad_alloc&) {
    return Refuse(query_message::kNoMemory);
  }
}

}  // namespace qvx::core
