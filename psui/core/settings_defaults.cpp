#include "settings_defaults.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace qvx::core {
namespace {

// The user's country code; 1 (United States) when it cannot be read.
int CountryCode(Platform& platform) {
  auto text = platform.ReadRegistryString(RegistryRoot::CurrentUser, kInternationalKey, u"iCountry", 32);
  if (!text || text->empty()) return 1;
  int code = 0;
  for (char16_t c : *text) {
    if (c < u'0' || c > u'9' || code > 100000) return 1;
    code = code * 10 + (c - u'0');
  }
  return code;
}

// Value of feature k's default option, or the fallback when the description
// lacks the feature.
int OptionDefault(const DescriptionImage* image, unsigned feature, int fallback) {
  return GetFeature(image, feature) ? GetFeatureDefaultValue(image, feature) : fallback;
}

void SetFont(LogFontW& font, int32_t height, std::u16string_view face) {
  font = LogFontW{};
  font.lfHeight = height;
  StoreText(font.lfFaceName, std::size(font.lfFaceName), face);
}

bool IsSeparator(char c) { return c == ',' || c == ' '; }

}  // namespace

void FillCommonFields(SettingsRecord& r) {
  r.signature = kSignature;
  r.privWord260 = 1;
  r.privWord262 = 3;
  r.compressionMode = 2;
  r.privDword272 = 1;
  r.privWord284 = 0x0201;
  r.hiddenControlValue = 2;
  r.bidirectionalJob = 1;
  r.cmSwitch320 = 1;
  r.cmSwitch324 = 1;
  r.multibitMode = 1;
  r.privDword368 = 1;
  r.bandingSize = 500;
  r.privSize418 = 1270;
  r.privSize420 = 889;
  r.headerFooterFlags = 6;
  SetFont(r.headerFooterFont, -11, u"Arial");
  r.headerFooterColor = 0x00FFFFFF;
  r.renderingIntent = 256;
  r.scalingSubMode = 1;
  r.scaleAlignment = 3;
  r.scaleValueA = 2963;
  r.scaleValueB = 2963;
  r.advancedBits = 3;
  r.watermarkIndex = -1;  // no watermark selected

  StoreText(r.helperExe, std::size(r.helperExe), kHelperExe);
  r.blockVersion = kRenderBlockVersion;
  r.blockSize = kRenderBlockSize;
  r.rbByte1203 = 1;
  r.rbWord1204 = 1;
  r.rbWord1206 = -1;
  r.rbWord1212 = 90;
  SetFont(r.watermarkFont, 72, u"Arial");
  r.watermarkRop = 0x008800C6;
  r.headerFooterFontJob = r.headerFooterFont;
  r.rbDword1548 = 0x00FFFFFF;
  r.rbDword1712 = 100;
  r.blockReady = 1;
  r.endMarker = kEndMarker;
}

bool IsMetricCountry(Platform& platform) {
  const int code = CountryCode(platform);
  const bool letter = code == 1 || code == 2 || (code >= 50 && code <= 54) || (code >= 56 && code <= 59) ||
                      (code >= 500 && code <= 599);
  return !letter;
}

void StoreText(char16_t* field, size_t fieldChars, std::u16string_view text) {
  const size_t n = std::min(text.size(), fieldChars - 1);
  std::fill(field, field + fieldChars, u'\0');
  std::copy_n(text.data(), n, field);
}

void StoreText(char* field, size_t fieldChars, std::string_view text) {
  const size_t n = std::min(text.size(), fieldChars - 1);
  std::fill(field, field + fieldChars, '\0');
  std::copy_n(text.data(), n, field);
}

std::u16string_view FieldText(const char16_t* field, size_t fieldChars) {
  return {field, static_cast<size_t>(std::find(field, field + fieldChars, u'\0') - field)};
}

int16_t ThirdTokenValue(const char* text) {
  if (text == nullptr) return 1;
  const size_t length = std::strlen(text);
  if (length >= 30) return 1;
  // Tokens as a tokenizer that treats a run of separators as one would give
  // them; a leading separator starts no empty token.
  const char* tokens[3] = {};
  size_t count = 0;
  bool separated = false;
  for (const char* p = text; *p != '\0';) {
    while (IsSeparator(*p)) {
      separated = true;
      ++p;
    }
    if (*p == '\0') break;
    if (count == 3) break;  // the text is cut after the third token
    tokens[count++] = p;
    while (*p != '\0' && !IsSeparator(*p)) ++p;
  }
  if (!separated || count < 2) return 1;
  const long value = std::strtol(tokens[count - 1], nullptr, 10);
  return static_cast<int16_t>(std::clamp<long>(value, INT16_MIN, INT16_MAX));
}

bool ProcessorHandlesCopies(std::u16string_view printProcessor) {
  return EqualsIgnoringAsciiCase(printProcessor, u"QVPROC PRINT") ||
         EqualsIgnoringAsciiCase(printProcessor, u"WinPrint");
}

uint32_t ComputeSettingsKey(const SettingsRecord& r) {
  return (static_cast<uint32_t>(r.dm.dmColor) & 0xFF) << 24 | (static_cast<uint32_t>(r.mediaType) & 0xFF) << 16 |
         (r.bidirectional & 3) << 14 | (r.bidirectionalJob & 3) << 12 | (r.privDword280 & 3) << 10 |
         (r.privDword312 & 3) << 8 | r.printPreset;
}

void RebuildOptionSelections(SettingsRecord& record, const DescriptionImage* image) {
  std::fill(std::begin(record.optionSelections), std::end(record.optionSelections), uint8_t{0});
  const unsigned count = std::min<unsigned>(GetDocumentFeatureCount(image), kOptionSelectionCapacity);
  unsigned position = 0;
  for (const FeatureRecord* f = GetFeatureAtPosition(image, 0); f && position < count; f = f->next.get()) {
    if (IsPrinterFeature(f)) continue;
    record.optionSelections[position++] =
        f->index == kFeatureResolution ? kResolutionSelection : static_cast<uint8_t>(GetFeatureDefault(f));
  }
  record.optionCount = static_cast<uint16_t>(position);
  record.descriptionStamp = GetDescriptionStamp(image);
}

bool BuildDefaultSettings(SettingsRecord& r, std::u16string_view deviceName, const DescriptionImage* image,
                          bool metric, Platform& platform) {
  // 1. Identity.
  r = SettingsRecord{};
  FillCommonFields(r);
  StoreText(r.dm.dmDeviceName, std::size(r.dm.dmDeviceName), deviceName);
  r.dm.dmSpecVersion = kSpecVersion;
  r.dm.dmDriverVersion = kDriverVersion;
  r.dm.dmSize = kPublicSize;
  r.dm.dmDriverExtra = kPrivateSize;
  r.dm.dmFields = dm::kDefaultFields;

  // 2. Model and region.
  r.modelTypeBits = static_cast<uint16_t>((image ? image->modelType : 0) & 0x0311);
  const auto region = platform.GetString(StringSource::Language, 2113).value_or(u"USA");
  r.region = region == u"USA" ? 1 : region == u"JPN" ? 0 : 2;

  // 3. Copies and collation are offered when the print processor does them.
  const auto processor = platform.ReadRegistryString(RegistryRoot::LocalMachine,
                                                     std::u16string(kPrintersKey) + std::u16string(deviceName),
                                                     u"Print Processor", 40);
  if (processor && ProcessorHandlesCopies(*processor)) {
    r.dm.dmFields |= dm::kProcessorFields;
    r.dm.dmNup = 2;
  }

  // 4. Public fields.
  r.dm.dmOrientation = 1;
  r.dm.dmPaperSize = metric ? 9 : 1;
  StoreText(r.dm.dmFormName, std::size(r.dm.dmFormName), metric ? u"A4" : u"Letter");
  r.dm.dmScale = 100;
  r.dm.dmCopies = 1;
  r.dm.dmDefaultSource = static_cast<int16_t>(OptionDefault(image, kFeatureTray, 7));
  r.dm.dmPrintQuality = 600;
  r.qualityCode = -3;
  r.dm.dmColor = static_cast<int16_t>(OptionDefault(image, kFeatureCOLOR, 2));
  r.dm.dmDuplex = 1;
  r.dm.dmTTOption = 3;
  r.dm.dmCollate = 0;
  r.dm.dmICMMethod = 1;
  r.dm.dmICMIntent = 3;
  r.dm.dmMediaType = 0;
  r.dm.dmDitherType = 1;

  // 5. Private header.
  r.renderBlockOffset = static_cast<uint16_t>(r.dm.dmSize + r.dm.dmDriverExtra - kRenderBlockSize);
  r.privHeaderWord = 0x2000;

  // 6. Values taken from the description's option defaults.
  r.mediaTypeOption = static_cast<uint16_t>(OptionDefault(image, kFeatureMediaType, 0));
  r.hrcOption = static_cast<uint16_t>(OptionDefault(image, kFeatureHRC, 0));
  r.pageProtectOption = static_cast<uint16_t>(OptionDefault(image, kFeaturePageProtect, 1));
  r.captOption = static_cast<uint16_t>(OptionDefault(image, kFeatureCAPT, 1));
  r.thickness = static_cast<uint16_t>(OptionDefault(image, kFeatureThickness, 0));
  r.mediaType = static_cast<uint16_t>(OptionDefault(image, kFeatureMediaType, 0));
  r.docType = static_cast<uint8_t>(OptionDefault(image, kFeatureDOCTYPE, 2));
  r.halftone = static_cast<uint8_t>(OptionDefault(image, kFeatureCHALFTONE, 3));
  r.cmOption = static_cast<uint8_t>(OptionDefault(image, kFeatureCM, 1));
  r.cmpModeOption = static_cast<uint8_t>(OptionDefault(image, kFeatureCMPMODE, 9));
  r.bidirectional = static_cast<uint32_t>(OptionDefault(image, kFeatureDIRMODE, 1));
  r.gModeOption = static_cast<uint16_t>(OptionDefault(image, kFeatureGMODE, 0));
  r.ttModeOption = static_cast<uint8_t>(OptionDefault(image, kFeatureTTMODE, 0));
  r.kcDraftOption = static_cast<uint8_t>(OptionDefault(image, kFeatureKCDraft, 0));
  r.borderless = static_cast<uint8_t>(OptionDefault(image, kFeaturePrtArea, 0));
  r.sfQualityOption = static_cast<uint8_t>(OptionDefault(image, kFeatureSFQuality, 0));
  r.pagesPerSheet = std::max(1, OptionDefault(image, kFeatureMultiplePage, 1));
  if (image) RebuildOptionSelections(r, image);

  // 7. Numbers from the description's header texts.
  r.sleepModeValue = ThirdTokenValue(image ? image->sleepMode.get() : nullptr);
  r.memorySizeValue = ThirdTokenValue(image ? image->memorySize.get() : nullptr);

  // 8. Languages this library has texts for.
  for (uint32_t k = 0; k <= 8; ++k)
    if (platform.HasString(StringSource::Own, 1060 + 1000 * k)) r.uiLanguageMask |= 1u << k;

  // 9. Custom size.
  r.customUnitInch = metric ? 0 : 1;
  r.customWidth = metric ? 2100 : 2159;
  r.customHeight = metric ? 2970 : 2794;
  r.dm.dmPaperWidth = static_cast<int16_t>(r.customWidth);
  r.dm.dmPaperLength = static_cast<int16_t>(r.customHeight);

  // 10. The rest of the settings block.
  r.privWord286 = 0x0101;
  r.privByte288 = 1;
  r.privDword292 = 1;
  r.printPreset = 2;
  const auto face = platform.GetString(StringSource::Language, 65280);
  SetFont(r.headerFooterFont, -11, face ? std::u16string_view(*face) : u"Arial");
  r.headerFooterFont.lfCharSet = 1;
  r.scalingMode = 3;
  r.privByte804 = 3;
  r.fitWidth = 889;
  r.fitHeight = 1270;
  r.fitPaperSize = r.dm.dmPaperSize;
  r.fitPaperSizeTarget = r.dm.dmPaperSize;
  r.thicknessJob = r.thickness;
  r.profilesPageHidden = platform.GetString(StringSource::Language, 8109).value_or(u"ENG") == u"JPN" ? 0 : 1;

  // 11. Summary key.
  r.settingsKey = ComputeSettingsKey(r);

  // 12. Print-time block (the fixed part is in FillCommonFields).
  r.watermarkScale = 100;
  r.headerFooterFontJob = r.headerFooterFont;
  r.fitPaperSizeJob = -1;
  r.fitPaperSizeTargetJob = -1;
  r.rbDword2124 = 1;
  StoreText(r.languageLibrary, std::size(r.languageLibrary), kLanguageLibrary);
  return true;
}

void PrepareRenderBlock(SettingsRecord& r, Platform& platform) {
  // Job copies first, so that the decision below sees the current header and
  // footer switches rather than the ones of the previous preparation.
  r.fitPaperSizeJob = r.scalingMode == 1 ? r.fitPaperSize : int16_t{-1};
  r.fitPaperSizeTargetJob = r.scalingMode == 1 ? r.fitPaperSizeTarget : int16_t{-1};
  r.headerFooterFlagsJob = r.headerFooterFlags;
  r.headerFooterTextColorJob = r.headerFooterTextColor;
  r.headerFooterFontJob = r.headerFooterFont;

  const bool pageWork = r.dm.dmCopies > 1 || r.dm.dmCollate == 1 || r.pagesPerSheet > 1 || r.pagesPerSheet <= 0 ||
                        (r.watermarkOn & 1) != 0 || (r.headerFooterFlagsJob & 0x80) != 0 || r.reverseJob == 1;

  if (EqualsIgnoringAsciiCase(platform.ActiveRootWindowClass(), u"FLWApp"))
    r.hostFlags |= 1;
  else
    r.hostFlags &= static_cast<uint8_t>(~1u);

  if (r.reverseJob != 0 || pageWork) {
    StoreText(r.helperExe, std::size(r.helperExe), kHelperExe);
  } else {
    // Keep the name readable but unusable: the page-processing side skips a
    // helper whose name starts with '_'.
    StoreText(r.helperExe, std::size(r.helperExe), kHelperExe);
    r.helperExe[0] = u'_';
  }
  r.blockReady = 1;
}

}  // namespace qvx::core
