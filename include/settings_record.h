// The driver settings record: the printer's DEVMODE as QVXUI builds it, the
// spooler stores it and the encoder reads it. 220 bytes of public DEVMODEW
// followed by a 2156-byte private part whose last 1032 bytes are the print-time
// block read by the page-processing side.
//
// The layout is a stored and exchanged format: every offset below is binding
// and checked at compile time. The structs are declared here (not taken from
// the platform headers) so the same code builds natively on Linux. All
// integers are little-endian, text fields marked char16_t are UTF-16.
//
// Records that arrive from outside may be shorter, longer or misaligned: copy
// them into a SettingsRecord (or read them with the bounds-checked helpers at
// the end of this file) rather than casting a foreign pointer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qvx {

static_assert(std::endian::native == std::endian::little,
              "the settings record is read and written in place on little-endian hosts");

// Identity and sizes.
inline constexpr uint16_t kSpecVersion = 0x0401;
inline constexpr uint16_t kDriverVersion = 0x0503;
// dmDriverVersion of the records the print ticket provider hands out; the
// merge treats those as foreign on purpose.
inline constexpr uint16_t kTicketDriverVersion = 0x0507;
inline constexpr uint16_t kPublicSize = 220;     // dmSize
inline constexpr uint16_t kPrivateSize = 2156;   // dmDriverExtra
inline constexpr size_t kRecordSize = kPublicSize + kPrivateSize;  // 2376
inline constexpr size_t kPrivateOffset = kPublicSize;
inline constexpr uint16_t kRenderBlockSize = 1032;
inline constexpr uint16_t kRenderBlockOffset = kRecordSize - kRenderBlockSize;  // 1344
inline constexpr uint32_t kSignature = 0x56495250;   // "PRIV"
inline constexpr uint32_t kEndMarker = 0x43534F45;   // "EOSC"
inline constexpr uint16_t kRenderBlockVersion = 8;
inline constexpr size_t kOptionSelectionCapacity = 64;
inline constexpr uint8_t kResolutionSelection = 255;  // option byte of a resolution feature
inline constexpr char16_t kHelperExe[] = u"qvsplf01.exe";
inline constexpr char kLanguageLibrary[] = "QVXLANG.DLL";

// dmFields bits (the platform's DM_* values).
namespace dm {
inline constexpr uint32_t kOrientation = 0x00000001;
inline constexpr uint32_t kPaperSize = 0x00000002;
inline constexpr uint32_t kPaperLength = 0x00000004;
inline constexpr uint32_t kPaperWidth = 0x00000008;
inline constexpr uint32_t kScale = 0x00000010;
inline constexpr uint32_t kNup = 0x00000040;
inline constexpr uint32_t kCopies = 0x00000100;
inline constexpr uint32_t kDefaultSource = 0x00000200;
inline constexpr uint32_t kPrintQuality = 0x00000400;
inline constexpr uint32_t kColor = 0x00000800;
inline constexpr uint32_t kDuplex = 0x00001000;
inline constexpr uint32_t kYResolution = 0x00002000;
inline constexpr uint32_t kTTOption = 0x00004000;
inline constexpr uint32_t kCollate = 0x00008000;
inline constexpr uint32_t kFormName = 0x00010000;
inline constexpr uint32_t kICMMethod = 0x00800000;
inline constexpr uint32_t kICMIntent = 0x01000000;
inline constexpr uint32_t kMediaType = 0x02000000;
inline constexpr uint32_t kDitherType = 0x04000000;
// Fields of a freshly built record; kCopies | kCollate are added when the
// printer's print processor handles copies.
inline constexpr uint32_t kDefaultFields = 0x00010A0F;
inline constexpr uint32_t kProcessorFields = kCopies | kCollate;  // 0x8100
}  // namespace dm

// Platform LOGFONTW, 92 bytes.
struct LogFontW {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char16_t lfFaceName[32];
};
static_assert(sizeof(LogFontW) == 92);
static_assert(offsetof(LogFontW, lfCharSet) == 23);
static_assert(offsetof(LogFontW, lfFaceName) == 28);

// The public part: the platform's DEVMODEW (printer variant of its unions).
struct DevModeW {
  char16_t dmDeviceName[32];
  uint16_t dmSpecVersion;
  uint16_t dmDriverVersion;
  uint16_t dmSize;
  uint16_t dmDriverExtra;
  uint32_t dmFields;
  int16_t dmOrientation;
  int16_t dmPaperSize;
  int16_t dmPaperLength;
  int16_t dmPaperWidth;
  int16_t dmScale;
  int16_t dmCopies;
  int16_t dmDefaultSource;
  int16_t dmPrintQuality;
  int16_t dmColor;
  int16_t dmDuplex;
  int16_t dmYResolution;
  int16_t dmTTOption;
  int16_t dmCollate;
  char16_t dmFormName[32];
  uint16_t dmLogPixels;
  uint32_t dmBitsPerPel;
  uint32_t dmPelsWidth;
  uint32_t dmPelsHeight;
  uint32_t dmNup;  // dmDisplayFlags on displays
  uint32_t dmDisplayFrequency;
  uint32_t dmICMMethod;
  uint32_t dmICMIntent;
  uint32_t dmMediaType;
  uint32_t dmDitherType;
  uint32_t dmReserved1;
  uint32_t dmReserved2;
  uint32_t dmPanningWidth;
  uint32_t dmPanningHeight;
};
static_assert(sizeof(DevModeW) == kPublicSize);
static_assert(offsetof(DevModeW, dmSpecVersion) == 64);
static_assert(offsetof(DevModeW, dmDriverVersion) == 66);
static_assert(offsetof(DevModeW, dmSize) == 68);
static_assert(offsetof(DevModeW, dmDriverExtra) == 70);
static_assert(offsetof(DevModeW, dmFields) == 72);
static_assert(offsetof(DevModeW, dmOrientation) == 76);
static_assert(offsetof(DevModeW, dmPaperSize) == 78);
static_assert(offsetof(DevModeW, dmPaperLength) == 80);
static_assert(offsetof(DevModeW, dmPaperWidth) == 82);
static_assert(offsetof(DevModeW, dmScale) == 84);
static_assert(offsetof(DevModeW, dmCopies) == 86);
static_assert(offsetof(DevModeW, dmDefaultSource) == 88);
static_assert(offsetof(DevModeW, dmPrintQuality) == 90);
static_assert(offsetof(DevModeW, dmColor) == 92);
static_assert(offsetof(DevModeW, dmDuplex) == 94);
static_assert(offsetof(DevModeW, dmYResolution) == 96);
static_assert(offsetof(DevModeW, dmTTOption) == 98);
static_assert(offsetof(DevModeW, dmCollate) == 100);
static_assert(offsetof(DevModeW, dmFormName) == 102);
static_assert(offsetof(DevModeW, dmLogPixels) == 166);
static_assert(offsetof(DevModeW, dmBitsPerPel) == 168);
static_assert(offsetof(DevModeW, dmNup) == 180);
static_assert(offsetof(DevModeW, dmICMMethod) == 188);
static_assert(offsetof(DevModeW, dmICMIntent) == 192);
static_assert(offsetof(DevModeW, dmMediaType) == 196);
static_assert(offsetof(DevModeW, dmDitherType) == 200);
static_assert(offsetof(DevModeW, dmPanningHeight) == 216);

// The whole record. Members named privXxxN / rbXxxN carry no behaviour in
// QVXUI: it writes their defaults and carries them unchanged. The number in
// those names is the offset from the start of the private part.
struct SettingsRecord {
  DevModeW dm;

  // ---- settings block (private offsets 0..1123)
  uint16_t renderBlockOffset;  // from the record start: 1344
  uint16_t privWord2;
  uint32_t signature;        // kSignature
  uint32_t privHeaderWord;   // 0x200: landscape rotated by 90 degrees, else 270
  uint8_t priv12[80];
  uint8_t templateBlock[24];  // zero in defaults; set in the preset records
  uint16_t descriptionStamp;
  uint16_t optionCount;
  uint8_t optionSelections[kOptionSelectionCapacity];
  int16_t sleepModeValue;
  uint16_t privWord186;
  uint16_t privWord188;
  uint16_t mediaTypeOption;
  uint16_t hrcOption;
  uint16_t pageProtectOption;
  uint16_t captOption;
  uint8_t priv198[10];
  uint32_t uiLanguageMask;
  uint16_t thickness;
  uint16_t mediaType;
  uint32_t cmFlag;
  uint32_t colorAdjust;
  // Eight signed enhancement values in slots 0-4 and 6-8; slot 5 is unused
  // (see kColorAdjustmentSlots).
  int16_t colorAdjustments[9];
  uint16_t priv242;
  uint32_t mediaDependentValue;  // bit 0 mirror width, bit 1 reverse image, bit 2 mirror height
  uint8_t docType;
  uint8_t halftone;
  uint8_t cmOption;
  uint8_t priv251;
  uint32_t collate;
  uint32_t privDword256;
  uint16_t privWord260;  // 1 pages per sheet, 2 poster 2x2, 3 poster 3x3
  uint16_t privWord262;
  uint16_t customUnitInch;
  uint16_t customWidth;
  uint16_t customHeight;
  uint8_t compressionMode;
  uint8_t cmpModeOption;
  uint32_t privDword272;
  uint32_t bidirectional;
  uint32_t privDword280;
  uint16_t privWord284;
  uint16_t privWord286;
  uint8_t privByte288;
  uint8_t priv289[3];
  uint32_t privDword292;
  uint8_t hiddenControlValue;
  uint8_t priv297[3];
  uint32_t privDword300;
  uint8_t printPreset;
  uint8_t priv305[3];
  uint32_t bidirectionalJob;
  uint32_t privDword312;
  uint32_t privDword316;
  uint32_t cmSwitch320;
  uint32_t cmSwitch324;
  uint32_t privDword328;
  uint8_t priv332[24];
  uint8_t privByte356;
  uint8_t priv357[3];
  uint32_t multibitMode;
  uint16_t gModeOption;
  uint16_t priv366;
  uint32_t privDword368;
  int16_t memorySizeValue;
  uint8_t ttModeOption;
  uint8_t privByte375;
  uint16_t privWord376;
  uint8_t priv378[32];
  uint16_t bandingSize;
  uint16_t hiddenFlag;
  uint16_t modelTypeBits;
  uint16_t region;  // 0 Japan, 1 USA, 2 other
  uint16_t privSize418;
  uint16_t privSize420;
  uint8_t kcDraftOption;
  uint8_t borderless;
  uint8_t sfQualityOption;
  uint8_t priv425[3];
  uint32_t headerFooterFlags;
  LogFontW headerFooterFont;
  uint32_t headerFooterTextColor;
  uint32_t headerFooterColor;
  uint32_t settingsKey;
  uint8_t priv536[4];
  uint8_t scalingMode;
  uint8_t useProfileFile;
  char profileFileName[260];
  uint16_t renderingIntent;  // 0..3, 256 none
  uint8_t privByte804;
  uint8_t scalingSubMode;
  uint8_t scaleAlignment;
  uint8_t priv807;
  uint32_t scaleValueA;
  uint32_t scaleValueB;
  uint16_t fitWidth;
  uint16_t fitHeight;
  int16_t fitPaperSize;
  int16_t fitPaperSizeTarget;  // 256 = custom
  uint8_t privByte824;
  uint8_t priv825[3];
  uint32_t collateFlag;
  uint32_t reverseOrder;
  uint16_t thicknessJob;
  uint8_t privByte838;
  uint8_t privByte839;
  uint8_t noDriverCollate;
  uint8_t priv841[7];
  uint32_t profilesPageHidden;
  uint8_t scaleEnabled;
  uint8_t privByte853;
  uint8_t priv854[2];
  uint32_t advancedBits;
  int16_t qualityCode;  // -1..-4
  int16_t watermarkIndex;
  char16_t watermarkName[128];
  uint32_t mediaVariant;

  // ---- print-time block (private offsets 1124..2155)
  char16_t helperExe[32];  // kHelperExe, first character '_' when not needed
  uint16_t blockVersion;
  uint16_t blockSize;
  uint16_t rbWord1192;
  uint16_t rbWord1194;
  int32_t pagesPerSheet;  // 0 or below: poster
  uint8_t rbByte1200;
  uint8_t nupDirection;
  uint8_t collateJob;
  uint8_t rbByte1203;
  uint16_t rbWord1204;
  int16_t rbWord1206;
  uint8_t rb1208[3];
  uint8_t reverseJob;
  uint16_t rbWord1212;
  uint8_t rb1214[2];
  uint32_t watermarkOn;
  char watermarkText[32];
  uint8_t rb1252[12];
  LogFontW watermarkFont;
  uint32_t watermarkColor;
  int32_t watermarkX;
  int32_t watermarkY;
  uint32_t watermarkRop;
  uint8_t rbByte1372;
  uint8_t watermarkOutline;
  uint16_t watermarkScale;
  uint32_t watermarkPages;
  uint8_t nupBorder;
  uint8_t rbByte1381;
  uint8_t rb1382[66];
  uint32_t headerFooterFlagsJob;
  LogFontW headerFooterFontJob;
  uint32_t headerFooterTextColorJob;
  uint32_t rbDword1548;
  uint32_t rbDword1552;
  // Without language-library date formats, the 42 bytes from
  // headerFooterDateIndex on hold seven 6-byte weekday names instead
  // (kWeekdayNamesOffset).
  uint32_t headerFooterDateIndex;
  uint32_t headerFooterTimeIndex;
  uint8_t rb1564[34];
  char monthNames[72];  // twelve 6-byte slots
  uint8_t rb1670[2];
  uint8_t rb1672[20];
  uint8_t rb1692[8];
  uint32_t rbDword1700;
  uint32_t rbDword1704;
  int16_t fitPaperSizeJob;
  int16_t fitPaperSizeTargetJob;
  uint32_t rbDword1712;
  uint32_t rbDword1716;
  uint32_t rbDword1720;
  uint16_t rbWord1724;
  uint8_t rb1726[126];
  uint16_t rbWord1852;
  uint8_t rb1854[254];
  uint16_t rbWord2108;
  uint16_t rbWord2110;
  uint8_t hostFlags;
  uint8_t rbWord2113[2];  // unaligned 16-bit field, kept as bytes
  uint8_t rbByte2115;
  uint32_t rbDword2116;
  uint32_t rbDword2120;
  uint32_t rbDword2124;
  char languageLibrary[13];  // "QVXLANG.DLL"
  uint8_t rb2141[7];
  uint8_t blockReady;
  uint8_t rbWord2149[2];  // unaligned 16-bit field, kept as bytes
  uint8_t rbByte2151;
  uint32_t endMarker;  // kEndMarker
};

inline constexpr size_t kColorAdjustmentSlots[8] = {0, 1, 2, 3, 4, 6, 7, 8};
inline constexpr size_t kWeekdayNamesOffset = 1776;
inline constexpr size_t kWeekdayNamesSize = 42;

static_assert(sizeof(SettingsRecord) == kRecordSize);
static_assert(alignof(SettingsRecord) == 4);

#define QVX_AT(field, off) static_assert(offsetof(SettingsRecord, field) == (off), #field)
QVX_AT(renderBlockOffset, 220);
QVX_AT(signature, 224);
QVX_AT(privHeaderWord, 228);
QVX_AT(templateBlock, 312);
QVX_AT(descriptionStamp, 336);
QVX_AT(optionCount, 338);
QVX_AT(optionSelections, 340);
QVX_AT(sleepModeValue, 404);
QVX_AT(privWord186, 406);
QVX_AT(privWord188, 408);
QVX_AT(mediaTypeOption, 410);
QVX_AT(hrcOption, 412);
QVX_AT(pageProtectOption, 414);
QVX_AT(captOption, 416);
QVX_AT(uiLanguageMask, 428);
QVX_AT(thickness, 432);
QVX_AT(mediaType, 434);
QVX_AT(cmFlag, 436);
QVX_AT(colorAdjust, 440);
QVX_AT(colorAdjustments, 444);
QVX_AT(mediaDependentValue, 464);
QVX_AT(docType, 468);
QVX_AT(halftone, 469);
QVX_AT(cmOption, 470);
QVX_AT(collate, 472);
QVX_AT(privDword256, 476);
QVX_AT(privWord260, 480);
QVX_AT(privWord262, 482);
QVX_AT(customUnitInch, 484);
QVX_AT(customWidth, 486);
QVX_AT(customHeight, 488);
QVX_AT(compressionMode, 490);
QVX_AT(cmpModeOption, 491);
QVX_AT(privDword272, 492);
QVX_AT(bidirectional, 496);
QVX_AT(privDword280, 500);
QVX_AT(privWord284, 504);
QVX_AT(privWord286, 506);
QVX_AT(privByte288, 508);
QVX_AT(privDword292, 512);
QVX_AT(hiddenControlValue, 516);
QVX_AT(privDword300, 520);
QVX_AT(printPreset, 524);
QVX_AT(bidirectionalJob, 528);
QVX_AT(privDword312, 532);
QVX_AT(privDword316, 536);
QVX_AT(cmSwitch320, 540);
QVX_AT(cmSwitch324, 544);
QVX_AT(privDword328, 548);
QVX_AT(privByte356, 576);
QVX_AT(multibitMode, 580);
QVX_AT(gModeOption, 584);
QVX_AT(privDword368, 588);
QVX_AT(memorySizeValue, 592);
QVX_AT(ttModeOption, 594);
QVX_AT(privByte375, 595);
QVX_AT(privWord376, 596);
QVX_AT(bandingSize, 630);
QVX_AT(hiddenFlag, 632);
QVX_AT(modelTypeBits, 634);
QVX_AT(region, 636);
QVX_AT(privSize418, 638);
QVX_AT(privSize420, 640);
QVX_AT(kcDraftOption, 642);
QVX_AT(borderless, 643);
QVX_AT(sfQualityOption, 644);
QVX_AT(headerFooterFlags, 648);
QVX_AT(headerFooterFont, 652);
QVX_AT(headerFooterTextColor, 744);
QVX_AT(headerFooterColor, 748);
QVX_AT(settingsKey, 752);
QVX_AT(scalingMode, 760);
QVX_AT(useProfileFile, 761);
QVX_AT(profileFileName, 762);
QVX_AT(renderingIntent, 1022);
QVX_AT(privByte804, 1024);
QVX_AT(scalingSubMode, 1025);
QVX_AT(scaleAlignment, 1026);
QVX_AT(scaleValueA, 1028);
QVX_AT(scaleValueB, 1032);
QVX_AT(fitWidth, 1036);
QVX_AT(fitHeight, 1038);
QVX_AT(fitPaperSize, 1040);
QVX_AT(fitPaperSizeTarget, 1042);
QVX_AT(privByte824, 1044);
QVX_AT(collateFlag, 1048);
QVX_AT(reverseOrder, 1052);
QVX_AT(thicknessJob, 1056);
QVX_AT(privByte838, 1058);
QVX_AT(privByte839, 1059);
QVX_AT(noDriverCollate, 1060);
QVX_AT(profilesPageHidden, 1068);
QVX_AT(scaleEnabled, 1072);
QVX_AT(privByte853, 1073);
QVX_AT(advancedBits, 1076);
QVX_AT(qualityCode, 1080);
QVX_AT(watermarkIndex, 1082);
QVX_AT(watermarkName, 1084);
QVX_AT(mediaVariant, 1340);
QVX_AT(helperExe, 1344);
QVX_AT(blockVersion, 1408);
QVX_AT(blockSize, 1410);
QVX_AT(rbWord1192, 1412);
QVX_AT(rbWord1194, 1414);
QVX_AT(pagesPerSheet, 1416);
QVX_AT(rbByte1200, 1420);
QVX_AT(nupDirection, 1421);
QVX_AT(collateJob, 1422);
QVX_AT(rbByte1203, 1423);
QVX_AT(rbWord1204, 1424);
QVX_AT(rbWord1206, 1426);
QVX_AT(reverseJob, 1431);
QVX_AT(rbWord1212, 1432);
QVX_AT(watermarkOn, 1436);
QVX_AT(watermarkText, 1440);
QVX_AT(watermarkFont, 1484);
QVX_AT(watermarkColor, 1576);
QVX_AT(watermarkX, 1580);
QVX_AT(watermarkY, 1584);
QVX_AT(watermarkRop, 1588);
QVX_AT(rbByte1372, 1592);
QVX_AT(watermarkOutline, 1593);
QVX_AT(watermarkScale, 1594);
QVX_AT(watermarkPages, 1596);
QVX_AT(nupBorder, 1600);
QVX_AT(rbByte1381, 1601);
QVX_AT(headerFooterFlagsJob, 1668);
QVX_AT(headerFooterFontJob, 1672);
QVX_AT(headerFooterTextColorJob, 1764);
QVX_AT(rbDword1548, 1768);
QVX_AT(rbDword1552, 1772);
QVX_AT(headerFooterDateIndex, kWeekdayNamesOffset);
QVX_AT(headerFooterTimeIndex, 1780);
QVX_AT(monthNames, 1818);
QVX_AT(rb1672, 1892);
QVX_AT(rbDword1700, 1920);
QVX_AT(rbDword1704, 1924);
QVX_AT(fitPaperSizeJob, 1928);
QVX_AT(fitPaperSizeTargetJob, 1930);
QVX_AT(rbDword1712, 1932);
QVX_AT(rbDword1716, 1936);
QVX_AT(rbDword1720, 1940);
QVX_AT(rbWord1724, 1944);
QVX_AT(rbWord1852, 2072);
QVX_AT(rbWord2108, 2328);
QVX_AT(rbWord2110, 2330);
QVX_AT(hostFlags, 2332);
QVX_AT(rbWord2113, 2333);
QVX_AT(rbByte2115, 2335);
QVX_AT(rbDword2116, 2336);
QVX_AT(rbDword2120, 2340);
QVX_AT(rbDword2124, 2344);
QVX_AT(languageLibrary, 2348);
QVX_AT(blockReady, 2368);
QVX_AT(rbWord2149, 2369);
QVX_AT(rbByte2151, 2371);
QVX_AT(endMarker, 2372);
#undef QVX_AT
static_assert(kWeekdayNamesOffset + kWeekdayNamesSize == 1818);
static_assert(kRenderBlockOffset == offsetof(SettingsRecord, helperExe));

// A preset record ("devmode0".."devmode12") as the driver publishes it.
struct SettingsTemplate {
  uint32_t icon;
  char name[52];
  SettingsRecord record;
};
static_assert(sizeof(SettingsTemplate) == 2432);
static_assert(offsetof(SettingsTemplate, name) == 4);
static_assert(offsetof(SettingsTemplate, record) == 56);
inline constexpr size_t kTemplateCount = 13;

// ---- Reading records of unknown origin. Every helper takes the number of
// bytes actually available and never reads past it.

inline uint16_t LoadU16(const void* data, size_t size, size_t offset, uint16_t fallback = 0) {
  if (data == nullptr || offset > size || size - offset < 2) return fallback;
  uint16_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(data) + offset, 2);
  return v;
}

inline uint32_t LoadU32(const void* data, size_t size, size_t offset, uint32_t fallback = 0) {
  if (data == nullptr || offset > size || size - offset < 4) return fallback;
  uint32_t v;
  std::memcpy(&v, static_cast<const uint8_t*>(data) + offset, 4);
  return v;
}

// True when the bytes are one of this driver's own records: version words,
// sizes and the signature all match, and the whole record is present.
inline bool IsOwnRecord(const void* data, size_t size) {
  return size >= kRecordSize &&
         LoadU16(data, size, offsetof(DevModeW, dmSpecVersion)) == kSpecVersion &&
         LoadU16(data, size, offsetof(DevModeW, dmDriverVersion)) == kDriverVersion &&
         LoadU16(data, size, offsetof(DevModeW, dmSize)) == kPublicSize &&
         LoadU16(data, size, offsetof(DevModeW, dmDriverExtra)) == kPrivateSize &&
         LoadU32(data, size, offsetof(SettingsRecord, signature)) == kSignature;
}

}  // namespace qvx
