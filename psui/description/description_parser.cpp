// Reads a printer description file (PPD syntax with this driver's own option
// keywords) into a parse tree. The file may hold any bytes: unknown keywords are
// skipped, malformed entries are dropped one by one, and only an over-long token
// or exhausted memory fails the whole parse.
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "description_file_access.h"
#include "description_parse_tree.h"

namespace qvx {

const char* const kPredefinedFeatureNames[kPredefinedFeatureCount] = {
    "PageSize", "InputSlot", "ManualFeed", "Duplex", "Collate", "Resolution", "VMOption",
    "MediaType", "MultiplePage", "TonerSaveMode", "PageProtect", "HRC", "Paper", "Tray",
    "Quality", "CM", "ICM", "CAPT", "COLOR", "CHALFTONE", "MHALFTONE", "DOCTYPE", "USEDF",
    "TTMODE", "CMPMODE", "GMODE", "DIRMODE", "Thickness", "INTERLACE", "KCDraft", "SFQuality",
    "PrtArea"};

void ParseContextDeleter::operator()(ParseContext* context) const noexcept { delete context; }

namespace {

constexpr size_t kMaxToken = 40;

// ---------------------------------------------------------------------------
// Character classes

enum : uint8_t { kKeywordChar = 1, kOptionChar = 2, kTranslationChar = 4, kBlank = 8, kLineEnd = 16 };

constexpr std::array<uint8_t, 256> MakeClasses() {
  std::array<uint8_t, 256> classes{};
  for (unsigned c = 0x21; c < 0x7F; ++c) {
    if (c != ':') classes[c] |= kKeywordChar | kTranslationChar;
    if (c != ':' && c != '/') classes[c] |= kOptionChar;
  }
  classes[' '] = kBlank | kTranslationChar;
  classes['\t'] = kBlank | kTranslationChar;
  classes['\r'] = kLineEnd;
  classes['\n'] = kLineEnd;
  return classes;
}
constexpr std::array<uint8_t, 256> kClasses = MakeClasses();

bool Is(uint8_t c, uint8_t cls) { return (kClasses[c] & cls) != 0; }

// ---------------------------------------------------------------------------
// Entries

enum class ValueKind { None = 0, Quoted = 2, Symbol = 3, String = 4 };

struct Entry {
  std::string_view keyword;
  std::string_view option;
  bool hasOption = false;
  std::string translation;  // raw; decoded where a handler wants it
  bool hasTranslation = false;
  ValueKind kind = ValueKind::None;
  std::string_view value;
};

enum class ReadResult { Entry, EndOfFile, SyntaxError };

struct TokenTooLong {};

class Tokenizer {
 public:
  explicit Tokenizer(std::span<const uint8_t> bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

  // Reads the next entry; throws TokenTooLong for a token above 40 characters.
  ReadResult Next(Entry& entry) {
    for (;;) {
      if (p_ == end_) return ReadResult::EndOfFile;
      if (*p_ != '*') {
        SkipLine();
        continue;
      }
      ++p_;
      if (p_ != end_ && *p_ == '%') {  // comment
        SkipLine();
        continue;
      }
      return ReadEntry(entry);
    }
  }

 private:
  void SkipLine() {
    while (p_ != end_ && !Is(*p_, kLineEnd)) ++p_;
    SkipLineEnd();
  }
  void SkipLineEnd() {
    if (p_ != end_ && *p_ == '\r') ++p_;
    if (p_ != end_ && *p_ == '\n') ++p_;
  }
  void SkipBlanks() {
    while (p_ != end_ && Is(*p_, kBlank)) ++p_;
  }
  bool AtLineEnd() const { return p_ == end_ || Is(*p_, kLineEnd); }

  std::string_view Token(uint8_t cls) {
    const uint8_t* start = p_;
    while (p_ != end_ && Is(*p_, cls)) ++p_;
    if (static_cast<size_t>(p_ - start) > kMaxToken) throw TokenTooLong{};
    return {reinterpret_cast<const char*>(start), static_cast<size_t>(p_ - start)};
  }

  ReadResult Syntax() {
    SkipLine();
    return ReadResult::SyntaxError;
  }

  ReadResult ReadEntry(Entry& entry) {
    entry = Entry{};
    entry.keyword = Token(kKeywordChar);
    if (entry.keyword.empty()) return Syntax();
    SkipBlanks();
    if (AtLineEnd()) {  // keyword alone: no option, no value
      SkipLineEnd();
      return ReadResult::Entry;
    }
    if (*p_ != ':') {
      if (!Is(*p_, kOptionChar)) return Syntax();
      entry.option = Token(kOptionChar);
      entry.hasOption = true;
      SkipBlanks();
      if (p_ != end_ && *p_ == '/') {
        ++p_;
        const uint8_t* start = p_;
        while (p_ != end_ && Is(*p_, kTranslationChar)) ++p_;
        entry.translation.assign(reinterpret_cast<const char*>(start), static_cast<size_t>(p_ - start));
        while (!entry.translation.empty() && Is(static_cast<uint8_t>(entry.translation.back()), kBlank))
          entry.translation.pop_back();
        entry.hasTranslation = true;
        if (DecodedLength(entry.translation) > kMaxToken) throw TokenTooLong{};
      }
      if (p_ == end_ || *p_ != ':') return Syntax();
    }
    ++p_;  // ':'
    SkipBlanks();
    if (p_ != end_ && *p_ == '"') {
      ++p_;
      const uint8_t* start = p_;
      const uint8_t* quote = static_cast<const uint8_t*>(std::memchr(p_, '"', static_cast<size_t>(end_ - p_)));
      if (!quote) {  // runs off the end of the file
        p_ = end_;
        return ReadResult::SyntaxError;
      }
      entry.kind = ValueKind::Quoted;
      entry.value = {reinterpret_cast<const char*>(start), static_cast<size_t>(quote - start)};
      p_ = quote + 1;
      SkipLine();
      return ReadResult::Entry;
    }
    const uint8_t* start = p_;
    while (p_ != end_ && !Is(*p_, kLineEnd) && *p_ != '/') ++p_;
    const uint8_t* stop = p_;
    while (stop > start && Is(stop[-1], kBlank)) --stop;
    entry.value = {reinterpret_cast<const char*>(start), static_cast<size_t>(stop - start)};
    entry.kind = (!entry.value.empty() && entry.value[0] == '^') ? ValueKind::Symbol : ValueKind::String;
    SkipLine();
    return ReadResult::Entry;
  }

  static size_t DecodedLength(std::string_view text) {
    std::string decoded;
    return DecodeHex(text, decoded) ? decoded.size() : text.size();
  }

 public:
  // "<" starts a run of hexadecimal digit pairs, ">" ends it; blanks inside the run
  // are allowed, anything else fails.
  static bool DecodeHex(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '<') {
        out.push_back(text[i]);
        continue;
      }
      int high = -1;
      for (++i;; ++i) {
        if (i >= text.size()) return false;
        const char c = text[i];
        if (c == '>') break;
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return false;
        if (high < 0) {
          high = digit;
        } else {
          out.push_back(static_cast<char>(high * 16 + digit));
          high = -1;
        }
      }
      if (high >= 0) return false;
    }
    return true;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// ---------------------------------------------------------------------------
// Keyword table

enum class Handled { Ok, Syntax };

class Parser;
using Handler = Handled (*)(Parser&, const Entry&, const struct KeywordRow&);

// Flags: bits 0-2 value rule, bit 3 option required (and otherwise forbidden),
// bit 4 may repeat.
enum : uint16_t {
  kAnyValue = 0, kQuoted = 1, kQuotedOrString = 2, kString = 4,
  kNeedsOption = 8, kRepeats = 16,
};

struct KeywordRow {
  const char* name;
  Handler handler;
  uint16_t feature;  // kFeatureOther: none
  uint16_t flags;
  uint16_t code;     // handler-specific
};

// Words mapped to codes.
struct WordCode {
  std::string_view word;
  uint16_t code;
};

template <size_t N>
bool LookupWord(const WordCode (&table)[N], std::string_view word, uint16_t& code) {
  for (const WordCode& w : table) {
    if (w.word == word) {
      code = w.code;
      return true;
    }
  }
  return false;
}

std::vector<std::string_view> SplitBlanks(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    const size_t start = i;
    while (i < text.size() && !(text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

std::string_view StripAsterisk(std::string_view name) {
  if (!name.empty() && name[0] == '*') name.remove_prefix(1);
  return name;
}

// Resident fonts the printer holds; "Font" entries for other names are dropped.
constexpr const char* kResidentFonts[72] = {
    "AvantGarde-Book", "AvantGarde-BookOblique", "AvantGarde-Demi", "AvantGarde-DemiOblique",
    "Bookman-Demi", "Bookman-DemiItalic", "Bookman-Light", "Bookman-LightItalic",
    "Courier", "Courier-Bold", "Courier-BoldOblique", "Courier-Oblique",
    "Helvetica", "Helvetica-Bold", "Helvetica-BoldOblique", "Helvetica-Oblique",
    "Helvetica-Narrow", "Helvetica-Narrow-Bold", "Helvetica-Narrow-BoldOblique", "Helvetica-Narrow-Oblique",
    "NewCenturySchlbk-Bold", "NewCenturySchlbk-BoldItalic", "NewCenturySchlbk-Italic", "NewCenturySchlbk-Roman",
    "Palatino-Bold", "Palatino-BoldItalic", "Palatino-Italic", "Palatino-Roman",
    "Symbol", "Times-Bold", "Times-BoldItalic", "Times-Italic", "Times-Roman",
    "ZapfChancery-MediumItalic", "ZapfDingbats",
    "AlbertusMT", "AlbertusMT-Italic", "AlbertusMT-Light", "AntiqueOlive-Bold", "AntiqueOlive-Compact",
    "AntiqueOlive-Italic", "AntiqueOlive-Roman", "Arial-BoldItalicMT", "Arial-BoldMT", "Arial-ItalicMT",
    "ArialMT", "CooperBlack", "CooperBlack-Italic", "Coronet-Regular", "Courier-Condensed",
    "Eurostile", "Eurostile-Bold", "Garamond-Antiqua", "Garamond-Halbfett", "Garamond-Kursiv",
    "Garamond-KursivHalbfett", "GillSans", "GillSans-Bold", "GillSans-Italic", "LetterGothic",
    "LetterGothic-Bold", "LetterGothic-Italic", "Marigold", "Optima", "Optima-Bold",
    "Optima-Italic", "TimesNewRomanPS-BoldItalicMT", "TimesNewRomanPS-BoldMT", "TimesNewRomanPS-ItalicMT",
    "TimesNewRomanPSMT", "Univers", "Univers-Bold"};

uint16_t ResidentFontId(std::string_view name) {
  for (unsigned i = 0; i < 72; ++i) {
    if (name == kResidentFonts[i]) return static_cast<uint16_t>(i + 1);
  }
  return 0;
}

class Parser {
 public:
  explicit Parser(ParseContext& context) : c_(context) {}

  ParseContext& Context() { return c_; }

  // Text copied into the arena; hex-decoded on request (false when the hex is bad).
  bool Text(std::string_view text, bool decode, const char*& out) {
    if (!decode) {
      out = c_.arena.CopyText(text);
      return true;
    }
    std::string decoded;
    if (!Tokenizer::DecodeHex(text, decoded)) return false;
    out = c_.arena.CopyText(decoded);
    return true;
  }

  // Stores a text only the first time the field is defined.
  bool TextOnce(std::string_view text, bool decode, const char*& field) {
    if (field) return true;
    return Text(text, decode, field);
  }

  ParsedFeature* FindFeatureByName(std::string_view name) {
    const auto found = c_.featuresByName.find(name);
    return found == c_.featuresByName.end() ? nullptr : found->second;
  }

  ParsedFeature* NewFeature(std::string_view name, unsigned index) {
    auto* f = c_.arena.New<ParsedFeature>();
    f->name = c_.arena.CopyText(name);
    f->nameHash = DescriptionNameHash(name);
    f->index = static_cast<uint16_t>(index);
    f->optionSize = OptionSizeForFeature(index);
    f->uiType = (index == kFeatureManualFeed || index == kFeatureCollate) ? UiType::Boolean : UiType::PickOne;
    f->printerFeature = index == kFeatureVMOption || c_.inInstallableGroup;
    c_.featuresByName.emplace(std::string_view(f->name), f);
    if (c_.lastFeature) c_.lastFeature->next = f;
    else c_.firstFeature = f;
    c_.lastFeature = f;
    if (index < kPredefinedFeatureCount) c_.slots[index] = f;
    return f;
  }

  ParsedFeature* Feature(unsigned index) {
    if (c_.slots[index]) return c_.slots[index];
    return NewFeature(kPredefinedFeatureNames[index], index);
  }

  // Predefined by name, else by name among the others, else a new feature.
  ParsedFeature* FeatureByName(std::string_view name) {
    for (unsigned k = 0; k < kPredefinedFeatureCount; ++k) {
      if (name == kPredefinedFeatureNames[k]) return Feature(k);
    }
    if (ParsedFeature* f = FindFeatureByName(name)) return f;
    return NewFeature(name, kFeatureOther);
  }

  ParsedOption* Option(ParsedFeature* feature, std::string_view name) {
    const uint32_t hash = DescriptionNameHash(name);
    // Entries of one option usually follow each other: try the newest first.
    if (feature->lastOption && feature->lastOption->nameHash == hash && name == feature->lastOption->name)
      return feature->lastOption;
    for (ParsedOption* o = feature->firstOption; o; o = o->next) {
      if (o->nameHash == hash && name == o->name) return o;
    }
    auto* o = c_.arena.New<ParsedOption>();
    o->name = c_.arena.CopyText(name);
    o->nameHash = hash;
    if (feature->lastOption) feature->lastOption->next = o;
    else feature->firstOption = o;
    feature->lastOption = o;
    ++feature->optionCount;
    return o;
  }

  // An option entry: the option record, with its translation kept the first time.
  bool OptionEntry(ParsedFeature* feature, const Entry& entry, ParsedOption*& option) {
    option = Option(feature, entry.option);
    if (entry.hasTranslation && !entry.translation.empty() && !option->translation)
      return Text(entry.translation, true, option->translation);
    return true;
  }

  void Run(std::span<const uint8_t> bytes);

 private:
  Handled Dispatch(const Entry& entry);
  ParseContext& c_;
};

// ---------------------------------------------------------------------------
// Handlers

Handled Ignore(Parser&, const Entry&, const KeywordRow&) { return Handled::Ok; }

// Header fields addressed by the row's code.
enum HeaderCode : uint16_t {
  kNickName, kPassword, kExitServer, kJclBegin, kJclToPS, kJclEnd, kSleepMode, kMemorySize,
  kLanguageLevel, kJobTimeout, kWaitTimeout, kFreeVM, kPrinterCaps, kModelType, kPrintRate,
  kScreenAngle, kScreenFreq, kMaxWidth, kMaxHeight, kFileVersion,
};

Handled HeaderText(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedHeader& h = p.Context().header;
  const char** field = nullptr;
  bool decode = false;
  switch (row.code) {
    case kNickName: field = &h.nickname; decode = true; break;
    case kPassword: field = &h.password; break;
    case kExitServer: field = &h.exitServer; break;
    case kJclBegin: field = &h.jclBegin; decode = true; break;
    case kJclToPS: field = &h.jclToPSInterpreter; decode = true; break;
    case kJclEnd: field = &h.jclEnd; decode = true; break;
    case kSleepMode: field = &h.sleepMode; break;
    case kMemorySize: field = &h.memorySize; break;
    default: return Handled::Syntax;
  }
  return p.TextOnce(e.value, decode, *field) ? Handled::Ok : Handled::Syntax;
}

Handled HeaderInteger(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedHeader& h = p.Context().header;
  uint32_t value;
  if (!ParseDescriptionInteger(e.value, value)) return Handled::Syntax;
  switch (row.code) {
    case kLanguageLevel: h.languageLevel = value; break;
    case kJobTimeout: h.suggestedJobTimeout = value; break;
    case kWaitTimeout: h.suggestedWaitTimeout = value; break;
    case kFreeVM: h.freeVirtualMemory = value; break;
    case kPrinterCaps: h.printerCaps = value; break;
    case kModelType: h.modelType = value; break;
    case kPrintRate: h.printRate = value; break;
    default: return Handled::Syntax;
  }
  return Handled::Ok;
}

Handled HeaderFixed(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedHeader& h = p.Context().header;
  Fixed value;
  if (!ParseDescriptionFixed(e.value, value)) return Handled::Syntax;
  switch (row.code) {
    case kScreenAngle: h.screenAngle = value; break;
    case kScreenFreq: h.screenFrequency = value; break;
    case kMaxWidth: h.maxMediaWidth = value; break;
    case kMaxHeight: h.maxMediaHeight = value; break;
    case kFileVersion: h.fileVersion = value; break;
    default: return Handled::Syntax;
  }
  return Handled::Ok;
}

Handled ColorDevice(Parser& p, const Entry& e, const KeywordRow&) {
  p.Context().header.colorDevice = e.value == "True" ? 1 : 0;
  return Handled::Ok;
}

Handled PrintPSError(Parser& p, const Entry& e, const KeywordRow&) {
  if (e.value == "True") p.Context().header.printPSError = 1;
  else if (e.value == "False") p.Context().header.printPSError = 0;
  return Handled::Ok;
}

constexpr WordCode kProtocolWords[] = {{"PJL", 1}, {"BCP", 2}, {"TBCP", 4}, {"SIC", 8}};
constexpr WordCode kExtensionWords[] = {{"DPS", 1}, {"CMYK", 2}, {"Composite", 4}, {"FileSystem", 8}};

Handled Protocols(Parser& p, const Entry& e, const KeywordRow&) {
  for (std::string_view word : SplitBlanks(e.value)) {
    uint16_t bit;
    if (LookupWord(kProtocolWords, word, bit)) p.Context().header.protocols |= bit;
  }
  return Handled::Ok;
}

Handled Extensions(Parser& p, const Entry& e, const KeywordRow&) {
  ParsedHeader& h = p.Context().header;
  for (std::string_view word : SplitBlanks(e.value)) {
    uint16_t bit;
    if (!LookupWord(kExtensionWords, word, bit)) continue;
    h.extensions |= bit;
    if (bit == 2) h.colorDevice = 1;
  }
  return Handled::Ok;
}

constexpr WordCode kEncodingWords[] = {
    {"ISOLatin1", 1}, {"JIS83-RKSJ", 2}, {"MaxStandard", 3}, {"WindowsANSI", 4}, {"None", 0}};
constexpr WordCode kLanguageWords[] = {
    {"English", 1}, {"Danish", 1}, {"Dutch", 1}, {"Finnish", 1}, {"French", 1}, {"German", 1},
    {"Italian", 1}, {"Norwegian", 1}, {"Portuguese", 1}, {"Spanish", 1}, {"Swedish", 1},
    {"Japanese", 2}, {"Chinese", 0}, {"Russian", 0}};
constexpr WordCode kRasterizerWords[] = {{"None", 0}, {"Accept68k", 1}, {"Type42", 2}, {"TrueImage", 3}};
constexpr WordCode kOrientationWords[] = {{"Any", 0}, {"Plus90", 1}, {"Minus90", 2}};

Handled LanguageEncoding(Parser& p, const Entry& e, const KeywordRow&) {
  uint16_t code;
  if (LookupWord(kEncodingWords, e.value, code)) p.Context().header.languageEncoding = code;
  return Handled::Ok;
}

Handled LanguageVersion(Parser& p, const Entry& e, const KeywordRow&) {
  uint16_t code;
  if (p.Context().header.languageEncoding == 0 && LookupWord(kLanguageWords, e.value, code))
    p.Context().header.languageEncoding = code;
  return Handled::Ok;
}

Handled Rasterizer(Parser& p, const Entry& e, const KeywordRow&) {
  uint16_t code;
  if (LookupWord(kRasterizerWords, e.value, code)) p.Context().header.rasterizer = code;
  return Handled::Ok;
}

Handled LandscapeOrientation(Parser& p, const Entry& e, const KeywordRow&) {
  uint16_t code;
  if (LookupWord(kOrientationWords, e.value, code)) p.Context().header.landscapeOrientation = code;
  return Handled::Ok;
}

// Four to `maxCount` fixed-point numbers separated by blanks.
bool FixedList(std::string_view text, Fixed* values, size_t minCount, size_t maxCount) {
  const std::vector<std::string_view> words = SplitBlanks(text);
  if (words.size() < minCount) return false;
  for (size_t i = 0; i < words.size() && i < maxCount; ++i) {
    if (!ParseDescriptionFixed(words[i], values[i])) return false;
  }
  return true;
}

Handled HWMargins(Parser& p, const Entry& e, const KeywordRow&) {
  Fixed margins[4] = {};
  if (!FixedList(e.value, margins, 4, 4)) return Handled::Syntax;
  ParsedHeader& h = p.Context().header;
  std::copy(std::begin(margins), std::end(margins), h.hwMargins);
  h.hwMarginsPresent = 1;
  return Handled::Ok;
}

Handled CustomPageSize(Parser& p, const Entry& e, const KeywordRow&) {
  if (e.option != "True") return Handled::Ok;
  ParsedHeader& h = p.Context().header;
  h.customPageSize = 1;
  return p.TextOnce(e.value, false, h.customPageSizeInvocation) ? Handled::Ok : Handled::Syntax;
}

constexpr WordCode kParameterWords[] = {
    {"Width", 0}, {"Height", 1}, {"WidthOffset", 2}, {"HeightOffset", 3}, {"Orientation", 4}};
constexpr WordCode kParameterTypes[] = {{"int", 0}, {"real", 1}, {"points", 2}};

Handled ParamCustomPageSize(Parser& p, const Entry& e, const KeywordRow&) {
  uint16_t slot;
  if (!LookupWord(kParameterWords, e.option, slot)) return Handled::Ok;
  const std::vector<std::string_view> words = SplitBlanks(e.value);
  if (words.size() < 4) return Handled::Syntax;
  uint32_t order;
  Fixed minimum, maximum;
  if (!ParseDescriptionInteger(words[0], order) || order < 1 || order > 5) return Handled::Syntax;
  if (!ParseDescriptionFixed(words[2], minimum) || !ParseDescriptionFixed(words[3], maximum))
    return Handled::Syntax;
  CustomSizeParameter& parameter = p.Context().header.customSize[slot];
  parameter.order = order;
  uint16_t type;
  if (LookupWord(kParameterTypes, words[1], type)) parameter.type = type;
  parameter.minimum = minimum;
  parameter.maximum = maximum;
  return Handled::Ok;
}

Handled Font(Parser& p, const Entry& e, const KeywordRow&) {
  const uint16_t id = ResidentFontId(e.option);
  if (id == 0) return Handled::Ok;
  ParseContext& c = p.Context();
  for (ParsedFont* f = c.firstFont; f; f = f->next) {
    if (f->fontId == id) return Handled::Ok;
  }
  auto* font = c.arena.New<ParsedFont>();
  font->name = c.arena.CopyText(e.option);
  font->nameHash = DescriptionNameHash(e.option);
  font->value = c.arena.CopyText(e.value);
  font->fontId = id;
  if (c.lastFont) c.lastFont->next = font;
  else c.firstFont = font;
  c.lastFont = font;
  return Handled::Ok;
}

Handled OpenGroup(Parser& p, const Entry& e, const KeywordRow&) {
  if (e.value != "InstallableOptions") return Handled::Ok;
  if (p.Context().inInstallableGroup) return Handled::Syntax;
  p.Context().inInstallableGroup = true;
  return Handled::Ok;
}

Handled CloseGroup(Parser& p, const Entry& e, const KeywordRow&) {
  if (e.value != "InstallableOptions") return Handled::Ok;
  if (!p.Context().inInstallableGroup) return Handled::Syntax;
  p.Context().inInstallableGroup = false;
  return Handled::Ok;
}

const KeywordRow* FindKeyword(std::string_view keyword);

constexpr WordCode kUiTypes[] = {{"PickOne", 1}, {"PickMany", 2}, {"Boolean", 0}};

Handled OpenUI(Parser& p, const Entry& e, const KeywordRow& row) {
  const std::string_view name = StripAsterisk(e.option);
  if (name.empty()) return Handled::Syntax;
  const KeywordRow* named = FindKeyword(name);
  if (named && named->feature == kFeatureOther) return Handled::Ok;
  ParsedFeature* feature = named ? p.Feature(named->feature) : p.FeatureByName(name);
  uint16_t type = 1;
  LookupWord(kUiTypes, e.value, type);
  feature->uiType = static_cast<UiType>(type);
  if (e.hasTranslation && !e.translation.empty() && !feature->translation &&
      !p.Text(e.translation, true, feature->translation))
    return Handled::Syntax;
  if (feature->index == kFeatureOther) {
    p.Context().openFeature = feature;
    if (row.code == 1) feature->flags |= kFeatureJcl;
  }
  return Handled::Ok;
}

Handled CloseUI(Parser& p, const Entry& e, const KeywordRow&) {
  const std::string_view name = StripAsterisk(e.value);
  if (name.empty()) return Handled::Syntax;
  ParsedFeature* open = p.Context().openFeature;
  if (open && name == open->name) {
    p.Context().openFeature = nullptr;
    return Handled::Ok;
  }
  return FindKeyword(name) ? Handled::Ok : Handled::Syntax;
}

constexpr WordCode kSections[] = {{"ExitServer", 1}, {"Prolog", 2}, {"DocumentSetup", 4},
                                  {"PageSetup", 8}, {"JCLSetup", 16}, {"AnySetup", 32}};

Handled OrderDependency(Parser& p, const Entry& e, const KeywordRow&) {
  const std::vector<std::string_view> words = SplitBlanks(e.value);
  if (words.size() < 3) return Handled::Syntax;
  Fixed order;
  if (!ParseDescriptionFixed(words[0], order)) return Handled::Syntax;
  const std::string_view feature = StripAsterisk(words[2]);
  if (feature.empty()) return Handled::Syntax;
  uint16_t section = 32;
  LookupWord(kSections, words[1], section);
  ParseContext& c = p.Context();
  auto* record = c.arena.New<ParsedOrderDependency>();
  record->order = order;
  record->sections = section;
  record->feature = c.arena.CopyText(feature);
  if (words.size() > 3) record->option = c.arena.CopyText(words[3]);
  if (c.lastOrder) c.lastOrder->next = record;
  else c.firstOrder = record;
  c.lastOrder = record;
  ++c.orderCount;
  return Handled::Ok;
}

Handled UIConstraints(Parser& p, const Entry& e, const KeywordRow&) {
  const std::vector<std::string_view> words = SplitBlanks(e.value);
  size_t i = 0;
  std::string_view names[4];
  for (int pair = 0; pair < 2; ++pair) {
    if (i >= words.size()) return Handled::Syntax;
    names[pair * 2] = StripAsterisk(words[i++]);
    if (names[pair * 2].empty()) return Handled::Syntax;
    if (i < words.size() && words[i][0] != '*') names[pair * 2 + 1] = words[i++];
  }
  ParseContext& c = p.Context();
  auto* record = c.arena.New<ParsedConstraint>();
  record->feature1 = c.arena.CopyText(names[0]);
  record->option1 = names[1].empty() ? nullptr : c.arena.CopyText(names[1]);
  record->feature2 = c.arena.CopyText(names[2]);
  record->option2 = names[3].empty() ? nullptr : c.arena.CopyText(names[3]);
  if (c.lastConstraint) c.lastConstraint->next = record;
  else c.firstConstraint = record;
  c.lastConstraint = record;
  ++c.constraintCount;
  return Handled::Ok;
}

// Paper options (feature 0); the code says which field.
enum PaperCode : uint16_t { kPaperInvocation, kPaperRegion, kPaperLandscape, kPaperArea, kPaperAreaL, kPaperDimension };

Handled PaperEntry(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedOption* o;
  if (!p.OptionEntry(p.Feature(kFeaturePageSize), e, o)) return Handled::Syntax;
  switch (row.code) {
    case kPaperInvocation: return p.TextOnce(e.value, false, o->invocation) ? Handled::Ok : Handled::Syntax;
    case kPaperRegion: return p.TextOnce(e.value, false, o->text48) ? Handled::Ok : Handled::Syntax;
    case kPaperLandscape: return p.TextOnce(e.value, false, o->text40) ? Handled::Ok : Handled::Syntax;
    case kPaperArea:
    case kPaperAreaL: {
      Fixed values[6] = {};
      if (!FixedList(e.value, values, 4, 6)) return Handled::Syntax;
      bool& has = row.code == kPaperArea ? o->hasArea : o->hasAreaLandscape;
      if (has) return Handled::Ok;
      ImageableArea& area = row.code == kPaperArea ? o->area : o->areaLandscape;
      area = {values[0], values[1], values[2], values[3], values[4], values[5]};
      has = true;
      return Handled::Ok;
    }
    case kPaperDimension: {
      Fixed values[2] = {};
      if (!FixedList(e.value, values, 2, 2)) return Handled::Syntax;
      if (!o->hasDimension) {
        o->width = values[0];
        o->height = values[1];
        o->hasDimension = true;
      }
      return Handled::Ok;
    }
  }
  return Handled::Syntax;
}

Handled InputSlot(Parser& p, const Entry& e, const KeywordRow&) {
  ParsedOption* o;
  if (!p.OptionEntry(p.Feature(kFeatureInputSlot), e, o)) return Handled::Syntax;
  o->requiresPageRegion = 1;
  return p.TextOnce(e.value, false, o->invocation) ? Handled::Ok : Handled::Syntax;
}

Handled RequiresPageRegion(Parser& p, const Entry& e, const KeywordRow&) {
  const bool isTrue = e.value == "True";
  if (!isTrue && e.value != "False") return Handled::Syntax;
  ParsedFeature* slots = p.Feature(kFeatureInputSlot);
  if (e.option == "All") {
    slots->flags |= isTrue ? kFeatureAllSlotsRequirePageRegion : kFeatureNoSlotRequiresPageRegion;
    return Handled::Ok;
  }
  ParsedOption* o;
  if (!p.OptionEntry(slots, e, o)) return Handled::Syntax;
  o->requiresPageRegion = isTrue ? 1 : 0;
  return Handled::Ok;
}

// ManualFeed, Duplex and Collate share one handler; the code is the feature.
Handled SimpleFeatureEntry(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedFeature* feature = p.Feature(row.code);
  ParsedOption* o;
  if (!p.OptionEntry(feature, e, o)) return Handled::Syntax;
  return p.TextOnce(e.value, (feature->flags & kFeatureJcl) != 0, o->invocation) ? Handled::Ok : Handled::Syntax;
}

enum ResolutionCode : uint16_t { kResPlain, kResJcl, kResSet, kResAngle, kResFreq };

Handled ResolutionEntry(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedOption* o;
  if (!p.OptionEntry(p.Feature(kFeatureResolution), e, o)) return Handled::Syntax;
  ParsedHeader& h = p.Context().header;
  switch (row.code) {
    case kResPlain:
      h.resolutionKind = 0;
      return p.TextOnce(e.value, false, o->invocation) ? Handled::Ok : Handled::Syntax;
    case kResJcl:
      h.resolutionKind = 1;
      return p.TextOnce(e.value, true, o->text40) ? Handled::Ok : Handled::Syntax;
    case kResSet:
      h.resolutionKind = 2;
      return p.TextOnce(e.value, false, o->text48) ? Handled::Ok : Handled::Syntax;
    case kResAngle:
    case kResFreq: {
      Fixed value;
      if (!ParseDescriptionFixed(e.value, value)) return Handled::Syntax;
      bool& has = row.code == kResAngle ? o->hasScreenAngle : o->hasScreenFrequency;
      if (!has) (row.code == kResAngle ? o->screenAngle : o->screenFrequency) = value;
      has = true;
      return Handled::Ok;
    }
  }
  return Handled::Syntax;
}

Handled MemoryEntry(Parser& p, const Entry& e, const KeywordRow&) {
  uint32_t value;
  if (!ParseDescriptionInteger(e.value, value)) return Handled::Syntax;
  ParsedOption* o;
  if (!p.OptionEntry(p.Feature(kFeatureVMOption), e, o)) return Handled::Syntax;
  if (!o->hasMemory) o->memory = value;
  o->hasMemory = true;
  return Handled::Ok;
}

// The 25 option features of this driver (7..31): the value text.
Handled DriverFeatureEntry(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedOption* o;
  if (!p.OptionEntry(p.Feature(row.feature), e, o)) return Handled::Syntax;
  return p.TextOnce(e.value, false, o->invocation) ? Handled::Ok : Handled::Syntax;
}

// "Default<Feature>": the default text of the feature named after "Default".
Handled DefaultEntry(Parser& p, const Entry& e, const KeywordRow& row) {
  ParsedFeature* feature = row.code == 1 ? p.Feature(kFeatureResolution)
                                         : p.FeatureByName(e.keyword.substr(7));
  return p.TextOnce(e.value, false, feature->defaultText) ? Handled::Ok : Handled::Syntax;
}

constexpr uint16_t kNone = kFeatureOther;

// clang-format off
constexpr KeywordRow kKeywords[] = {
  {"Include", Ignore, kNone, kQuotedOrString | kRepeats, 0},
  {"End", Ignore, kNone, kAnyValue | kRepeats, 0},
  {"JCLRes", Ignore, kNone, kQuotedOrString | kNeedsOption, 0},
  {"ColorDevice", ColorDevice, kNone, kString, 0},
  {"Protocols", Protocols, kNone, kString | kRepeats, 0},
  {"NickName", HeaderText, kNone, kQuotedOrString, kNickName},
  {"LanguageLevel", HeaderInteger, kNone, kQuotedOrString, kLanguageLevel},
  {"LanguageEncoding", LanguageEncoding, kNone, kString, 0},
  {"LanguageVersion", LanguageVersion, kNone, kString, 0},
  {"TTRasterizer", Rasterizer, kNone, kString, 0},
  {"ExitServer", HeaderText, kNone, kQuoted, kExitServer},
  {"Password", HeaderText, kNone, kQuoted, kPassword},
  {"SuggestedJobTimeout", HeaderInteger, kNone, kQuotedOrString, kJobTimeout},
  {"SuggestedWaitTimeout", HeaderInteger, kNone, kQuotedOrString, kWaitTimeout},
  {"PrintPSError", PrintPSError, kNone, kString, 0},
  {"JCLBegin", HeaderText, kNone, kQuotedOrString, kJclBegin},
  {"JCLToPSInterpreter", HeaderText, kNone, kQuotedOrString, kJclToPS},
  {"JCLEnd", HeaderText, kNone, kQuotedOrString, kJclEnd},
  {"LandscapeOrientation", LandscapeOrientation, kNone, kString, 0},
  {"FreeVM", HeaderInteger, kNone, kQuotedOrString, kFreeVM},
  {"ScreenAngle", HeaderFixed, kNone, kQuotedOrString, kScreenAngle},
  {"ScreenFreq", HeaderFixed, kNone, kQuotedOrString, kScreenFreq},
  {"MaxMediaWidth", HeaderFixed, kNone, kQuotedOrString, kMaxWidth},
  {"MaxMediaHeight", HeaderFixed, kNone, kQuotedOrString, kMaxHeight},
  {"HWMargins", HWMargins, kNone, kString, 0},
  {"CustomPageSize", CustomPageSize, kNone, kQuoted | kNeedsOption, 0},
  {"ParamCustomPageSize", ParamCustomPageSize, kNone, kString | kNeedsOption, 0},
  {"Font", Font, kNone, kQuotedOrString | kNeedsOption, 0},
  {"PrinterCaps", HeaderInteger, kNone, kQuotedOrString, kPrinterCaps},
  {"ModelType", HeaderInteger, kNone, kQuotedOrString, kModelType},
  {"PrintRatePPM", HeaderInteger, kNone, kQuotedOrString, kPrintRate},
  {"SleepMode", HeaderText, kNone, kQuotedOrString | kNeedsOption, kSleepMode},
  {"MemorySize", HeaderText, kNone, kQuotedOrString | kNeedsOption, kMemorySize},
  {"FileVersion", HeaderFixed, kNone, kQuotedOrString, kFileVersion},
  {"Extensions", Extensions, kNone, kString | kRepeats, 0},

  {"OpenGroup", OpenGroup, kNone, kString | kRepeats, 0},
  {"CloseGroup", CloseGroup, kNone, kString | kRepeats, 0},
  {"OpenUI", OpenUI, kNone, kString | kNeedsOption, 0},
  {"JCLOpenUI", OpenUI, kNone, kString | kNeedsOption, 1},
  {"CloseUI", CloseUI, kNone, kString | kRepeats, 0},
  {"JCLCloseUI", CloseUI, kNone, kString | kRepeats, 1},
  {"OrderDependency", OrderDependency, kNone, kString | kRepeats, 0},
  {"UIConstraints", UIConstraints, kNone, kString | kRepeats, 0},

  {"PageSize", PaperEntry, kFeaturePageSize, kQuoted | kNeedsOption, kPaperInvocation},
  {"PageRegion", PaperEntry, kFeaturePageSize, kQuoted | kNeedsOption, kPaperRegion},
  {"PageSizeL", PaperEntry, kFeaturePageSize, kQuoted | kNeedsOption, kPaperLandscape},
  {"ImageableArea", PaperEntry, kFeaturePageSize, kQuoted | kNeedsOption, kPaperArea},
  {"ImageableAreaL", PaperEntry, kFeaturePageSize, kQuoted | kNeedsOption, kPaperAreaL},
  {"PaperDimension", PaperEntry, kFeaturePageSize, kQuoted | kNeedsOption, kPaperDimension},
  {"InputSlot", InputSlot, kFeatureInputSlot, kQuoted | kNeedsOption, 0},
  {"RequiresPageRegion", RequiresPageRegion, kFeatureInputSlot, kString | kNeedsOption, 0},
  {"ManualFeed", SimpleFeatureEntry, kNone, kQuoted | kNeedsOption, kFeatureManualFeed},
  {"Duplex", SimpleFeatureEntry, kNone, kQuoted | kNeedsOption, kFeatureDuplex},
  {"Collate", SimpleFeatureEntry, kNone, kQuoted | kNeedsOption, kFeatureCollate},
  {"Resolution", ResolutionEntry, kFeatureResolution, kQuoted | kNeedsOption, kResPlain},
  {"JCLResolution", ResolutionEntry, kFeatureResolution, kQuotedOrString | kNeedsOption, kResJcl},
  {"SetResolution", ResolutionEntry, kFeatureResolution, kQuoted | kNeedsOption, kResSet},
  {"ResScreenAngle", ResolutionEntry, kFeatureResolution, kQuotedOrString | kNeedsOption, kResAngle},
  {"ResScreenFreq", ResolutionEntry, kFeatureResolution, kQuotedOrString | kNeedsOption, kResFreq},
  {"InstalledMemory", MemoryEntry, kFeatureVMOption, kQuoted | kNeedsOption, 0},
  {"VMOption", MemoryEntry, kFeatureVMOption, kQuotedOrString | kNeedsOption, 0},

  {"MediaType", DriverFeatureEntry, 7, kQuoted | kNeedsOption, 0},
  {"MultiplePage", DriverFeatureEntry, 8, kQuoted | kNeedsOption, 0},
  {"TonerSaveMode", DriverFeatureEntry, 9, kQuoted | kNeedsOption, 0},
  {"PageProtect", DriverFeatureEntry, 10, kQuoted | kNeedsOption, 0},
  {"HRC", DriverFeatureEntry, 11, kQuoted | kNeedsOption, 0},
  {"Paper", DriverFeatureEntry, 12, kQuoted | kNeedsOption, 0},
  {"Tray", DriverFeatureEntry, 13, kQuoted | kNeedsOption, 0},
  {"Quality", DriverFeatureEntry, 14, kQuoted | kNeedsOption, 0},
  {"CM", DriverFeatureEntry, 15, kQuoted | kNeedsOption, 0},
  {"ICM", DriverFeatureEntry, 16, kQuoted | kNeedsOption, 0},
  {"CAPT", DriverFeatureEntry, 17, kQuoted | kNeedsOption, 0},
  {"COLOR", DriverFeatureEntry, 18, kQuoted | kNeedsOption, 0},
  {"CHALFTONE", DriverFeatureEntry, 19, kQuoted | kNeedsOption, 0},
  {"MHALFTONE", DriverFeatureEntry, 20, kQuoted | kNeedsOption, 0},
  {"DOCTYPE", DriverFeatureEntry, 21, kQuoted | kNeedsOption, 0},
  {"USEDF", DriverFeatureEntry, 22, kQuoted | kNeedsOption, 0},
  {"TTMODE", DriverFeatureEntry, 23, kQuoted | kNeedsOption, 0},
  {"CMPMODE", DriverFeatureEntry, 24, kQuoted | kNeedsOption, 0},
  {"GMODE", DriverFeatureEntry, 25, kQuoted | kNeedsOption, 0},
  {"DIRMODE", DriverFeatureEntry, 26, kQuoted | kNeedsOption, 0},
  {"Thickness", DriverFeatureEntry, 27, kQuoted | kNeedsOption, 0},
  {"INTERLACE", DriverFeatureEntry, 28, kQuoted | kNeedsOption, 0},
  {"KCDraft", DriverFeatureEntry, 29, kQuoted | kNeedsOption, 0},
  {"SFQuality", DriverFeatureEntry, 30, kQuoted | kNeedsOption, 0},
  {"PrtArea", DriverFeatureEntry, 31, kQuoted | kNeedsOption, 0},

  {"DefaultPageSize", DefaultEntry, kNone, kString, 0},
  {"DefaultInputSlot", DefaultEntry, kNone, kString, 0},
  {"DefaultCollate", DefaultEntry, kNone, kString, 0},
  {"DefaultDuplex", DefaultEntry, kNone, kString, 0},
  {"DefaultManualFeed", DefaultEntry, kNone, kString, 0},
  {"DefaultResolution", DefaultEntry, kNone, kString, 0},
  {"DefaultJCLResolution", DefaultEntry, kNone, kString, 1},
  {"DefaultInstalledMemory", DefaultEntry, kNone, kString, 0},
  {"DefaultMediaType", DefaultEntry, kNone, kString, 0},
  {"DefaultMultiplePage", DefaultEntry, kNone, kString, 0},
  {"DefaultTonerSaveMode", DefaultEntry, kNone, kString, 0},
  {"DefaultPageProtect", DefaultEntry, kNone, kString, 0},
  {"DefaultHRC", DefaultEntry, kNone, kString, 0},
  {"DefaultPaper", DefaultEntry, kNone, kString, 0},
  {"DefaultTray", DefaultEntry, kNone, kString, 0},
  {"DefaultQuality", DefaultEntry, kNone, kString, 0},
  {"DefaultCM", DefaultEntry, kNone, kString, 0},
  {"DefaultICM", DefaultEntry, kNone, kString, 0},
  {"DefaultCAPT", DefaultEntry, kNone, kString, 0},
  {"DefaultCOLOR", DefaultEntry, kNone, kString, 0},
  {"DefaultCHALFTONE", DefaultEntry, kNone, kString, 0},
  {"DefaultMHALFTONE", DefaultEntry, kNone, kString, 0},
  {"DefaultDOCTYPE", DefaultEntry, kNone, kString, 0},
  {"DefaultUSEDF", DefaultEntry, kNone, kString, 0},
  {"DefaultTTMODE", DefaultEntry, kNone, kString, 0},
  {"DefaultCMPMODE", DefaultEntry, kNone, kString, 0},
  {"DefaultGMODE", DefaultEntry, kNone, kString, 0},
  {"DefaultDIRMODE", DefaultEntry, kNone, kString, 0},
  {"DefaultThickness", DefaultEntry, kNone, kString, 0},
  {"DefaultKCDraft", DefaultEntry, kNone, kString, 0},
  {"DefaultSFQuality", DefaultEntry, kNone, kString, 0},
  {"DefaultPrtArea", DefaultEntry, kNone, kString, 0},
  {"DefaultPageSizeL", DefaultEntry, kNone, kString, 0},
};
// clang-format on
static_assert(std::size(kKeywords) == kKeywordCount);

// Hash index over the keyword table: 127 buckets, linear probing.
constexpr unsigned kBuckets = 127;

struct KeywordIndex {
  int16_t bucket[kBuckets];
  KeywordIndex() {
    std::fill(std::begin(bucket), std::end(bucket), int16_t{-1});
    for (unsigned row = 0; row < kKeywordCount; ++row) {
      unsigned b = DescriptionNameHash(kKeywords[row].name) % kBuckets;
      while (bucket[b] >= 0) b = (b + 1) % kBuckets;
      bucket[b] = static_cast<int16_t>(row);
    }
  }
};

const KeywordIndex& Index() {
  static const KeywordIndex index;  // built once per process
  return index;
}

const KeywordRow* FindKeyword(std::string_view keyword) {
  const KeywordIndex& index = Index();
  unsigned b = DescriptionNameHash(keyword) % kBuckets;
  for (unsigned probes = 0; probes < kBuckets && index.bucket[b] >= 0; ++probes, b = (b + 1) % kBuckets) {
    const KeywordRow& row = kKeywords[index.bucket[b]];
    if (keyword == row.name) return &row;
  }
  return nullptr;
}

bool ValueFits(uint16_t rule, const Entry& e) {
  switch (rule & 7) {
    case kAnyValue: return true;
    case kQuoted: return e.kind == ValueKind::Quoted;
    case kQuotedOrString: return e.kind == ValueKind::Quoted || e.kind == ValueKind::String;
    case kString: return e.kind == ValueKind::String && !e.value.empty();
  }
  return false;
}

Handled Parser::Dispatch(const Entry& entry) {
  if (ParsedFeature* open = c_.openFeature) {
    if (entry.keyword == open->name) {
      if (!entry.hasOption) return Handled::Syntax;
      ParsedOption* o;
      if (!OptionEntry(open, entry, o)) return Handled::Syntax;
      return TextOnce(entry.value, (open->flags & kFeatureJcl) != 0, o->invocation) ? Handled::Ok : Handled::Syntax;
    }
    if (entry.keyword.size() > 7 && entry.keyword.substr(0, 7) == "Default" && entry.keyword.substr(7) == open->name) {
      return TextOnce(entry.value, false, open->defaultText) ? Handled::Ok : Handled::Syntax;
    }
  }
  const KeywordRow* row = FindKeyword(entry.keyword);
  if (!row) return Handled::Ok;  // not ours: skipped
  const bool needsOption = (row->flags & kNeedsOption) != 0;
  if (needsOption != entry.hasOption) return Handled::Syntax;
  if (!ValueFits(row->flags, entry)) return Handled::Syntax;
  const size_t rowIndex = static_cast<size_t>(row - kKeywords);
  if (!(row->flags & kRepeats) && !entry.hasOption && c_.seen.test(rowIndex)) return Handled::Ok;
  const Handled result = row->handler(*this, entry, *row);
  if (result == Handled::Ok) c_.seen.set(rowIndex);
  return result;
}

void Parser::Run(std::span<const uint8_t> bytes) {
  Tokenizer tokenizer(bytes);
  Entry entry;
  for (;;) {
    const ReadResult read = tokenizer.Next(entry);
    if (read == ReadResult::EndOfFile) break;
    if (read == ReadResult::SyntaxError) continue;
    if (!entry.keyword.empty() && entry.keyword[0] == '?') continue;
    Dispatch(entry);  // a syntax error drops only this entry
  }
  c_.stamp = DescriptionStamp(bytes);
}

}  // namespace

ParseContextPtr ParseDescriptionBuffer(std::span<const uint8_t> bytes) {
  try {
    ParseContextPtr context(new ParseContext());
    Parser(*context).Run(bytes);
    return context;
  } catch (const TokenTooLong&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    return nullptr;
  } catch (const std::length_error&) {
    return nullptr;
  }
}

ParseContextPtr ParseDescriptionFile(const std::filesystem::path& path) {
  MappedFile file;
  if (!file.Open(path)) return nullptr;
  return ParseDescriptionBuffer(file.Bytes());
}

}  // namespace qvx
