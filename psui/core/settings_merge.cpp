#include "settings_merge.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "paper_forms.h"
#include "settings_defaults.h"

namespace qvx::core {
namespace {

constexpr size_t kHeaderBytes = offsetof(DevModeW, dmFields);  // through dmDriverExtra

uint16_t ImpliedSpecVersion(uint16_t size, uint16_t own) {
  switch (size) {
    case 188: return 0x0320;
    case 212: return 0x0400;
    case 220: return 0x0401;
    default: return own;
  }
}

void StoreU16(void* record, size_t offset, uint16_t value) {
  std::memcpy(static_cast<uint8_t*>(record) + offset, &value, 2);
}

template <class T, class Ok>
void KeepIf(T& field, Ok ok, T fallback) {
  if (!ok(field)) field = fallback;
}

template <size_t N, class C>
void Terminate(C (&text)[N]) {
  text[N - 1] = C{};
}

// A private part that passed the identity test may still carry values no
// part of the driver can use (a damaged or hand-made record). Fields with a
// known range fall back to their defaults; texts are terminated; the fields
// that describe the record's own structure are restored.
void RepairPrivatePart(SettingsRecord& r, const SettingsRecord& d, const DescriptionImage* image) {
  r.renderBlockOffset = d.renderBlockOffset;
  r.signature = kSignature;
  r.blockVersion = d.blockVersion;
  r.blockSize = d.blockSize;
  r.endMarker = kEndMarker;
  std::memcpy(r.languageLibrary, d.languageLibrary, sizeof r.languageLibrary);

  Terminate(r.profileFileName);
  Terminate(r.watermarkName);
  Terminate(r.watermarkText);
  Terminate(r.headerFooterFont.lfFaceName);
  Terminate(r.headerFooterFontJob.lfFaceName);
  Terminate(r.watermarkFont.lfFaceName);

  auto in = [](int lo, int hi) { return [=](auto v) { return static_cast<int>(v) >= lo && static_cast<int>(v) <= hi; }; };
  KeepIf(r.bandingSize, in(100, 600), d.bandingSize);
  KeepIf(r.scalingMode, in(0, 3), d.scalingMode);
  KeepIf(r.scalingSubMode, in(0, 3), d.scalingSubMode);
  KeepIf(r.privByte804, in(0, 3), d.privByte804);
  KeepIf(r.renderingIntent, [](uint16_t v) { return v <= 3 || v == 256; }, d.renderingIntent);
  KeepIf(r.docType, in(1, 4), d.docType);
  KeepIf(r.halftone, in(1, 3), d.halftone);
  KeepIf(r.compressionMode, in(0, 3), d.compressionMode);
  KeepIf(r.privWord260, in(1, 3), d.privWord260);
  KeepIf(r.customUnitInch, in(0, 1), d.customUnitInch);
  KeepIf(r.customWidth, in(1, 32767), d.customWidth);
  KeepIf(r.customHeight, in(1, 32767), d.customHeight);
  KeepIf(r.printPreset, in(1, 4), d.printPreset);
  KeepIf(r.thickness, [](uint16_t v) { return v == 0 || v == 2 || v == 4; }, d.thickness);
  KeepIf(r.watermarkPages, [](uint32_t v) { return v == 0 || v == 1 || v == 4 || v == 16; }, d.watermarkPages);
  KeepIf(r.mediaVariant, in(0, 1), d.mediaVariant);

  // Option selections: a count that does not match the description, or an
  // option the feature does not have, goes back to the description's default.
  if (!image) return;
  const unsigned count = std::min<unsigned>(GetDocumentFeatureCount(image), kOptionSelectionCapacity);
  if (r.optionCount != count) {
    RebuildOptionSelections(r, image);
    return;
  }
  for (unsigned p = 0; p < count; ++p) {
    const FeatureRecord* f = GetFeatureAtPosition(image, p);
    if (!f) break;
    const uint8_t s = r.optionSelections[p];
    if (s == kResolutionSelection || s < CountOptions(f)) continue;
    r.optionSelections[p] = f->index == kFeatureResolution ? kResolutionSelection
                                                            : static_cast<uint8_t>(GetFeatureDefault(f));
  }
  std::fill(r.optionSelections + count, std::end(r.optionSelections), uint8_t{0});
}

std::u16string PrintProcessorOf(Printer* printer) {
  if (!printer) return {};
  auto info = printer->GetInfo();
  return info ? info->printProcessor : std::u16string{};
}

bool HasDuplexOptions(const DescriptionImage* image) {
  return CountOptions(GetFeature(image, kFeatureDuplex)) > 0;
}

}  // namespace

size_t DeclaredRecordSize(const void* record, size_t available) {
  if (!record || available < kHeaderBytes) return 0;
  return size_t{LoadU16(record, available, offsetof(DevModeW, dmSize))} +
         LoadU16(record, available, offsetof(DevModeW, dmDriverExtra));
}

int CopySettings(const void* source, size_t sourceSize, void* destination, size_t destinationSize) {
  if (!source || sourceSize < kHeaderBytes || !destination || destinationSize < kHeaderBytes) return -1;
  const uint16_t srcSize = LoadU16(source, sourceSize, offsetof(DevModeW, dmSize));
  const uint16_t srcExtra = LoadU16(source, sourceSize, offsetof(DevModeW, dmDriverExtra));
  const uint16_t srcSpec = LoadU16(source, sourceSize, offsetof(DevModeW, dmSpecVersion));
  if (srcSize != 188 && srcSize != 212 && srcSize != 220 && srcSpec == 0) return -1;

  const uint16_t dstSize = LoadU16(destination, destinationSize, offsetof(DevModeW, dmSize));
  const uint16_t dstExtra = LoadU16(destination, destinationSize, offsetof(DevModeW, dmDriverExtra));
  const uint16_t dstDriver = LoadU16(destination, destinationSize, offsetof(DevModeW, dmDriverVersion));
  const uint16_t dstSpec =
      ImpliedSpecVersion(dstSize, LoadU16(destination, destinationSize, offsetof(DevModeW, dmSpecVersion)));
  if (dstSpec == 0) return -1;

  auto* src = static_cast<const uint8_t*>(source);
  auto* dst = static_cast<uint8_t*>(destination);
  // Public part: limited by both headers and both buffers.
  const size_t publicBytes = std::min({size_t{srcSize}, size_t{dstSize}, sourceSize, destinationSize});
  std::memmove(dst, src, publicBytes);
  StoreU16(dst, offsetof(DevModeW, dmSpecVersion), dstSpec);
  StoreU16(dst, offsetof(DevModeW, dmDriverVersion), dstDriver);
  StoreU16(dst, offsetof(DevModeW, dmSize), dstSize);
  StoreU16(dst, offsetof(DevModeW, dmDriverExtra), dstExtra);

  // Private part: from behind each record's own public part.
  const size_t srcRoom = sourceSize > srcSize ? sourceSize - srcSize : 0;
  const size_t dstRoom = destinationSize > dstSize ? destinationSize - dstSize : 0;
  const size_t privateBytes = std::min({size_t{srcExtra}, size_t{dstExtra}, srcRoom, dstRoom});
  if (privateBytes) std::memmove(dst + dstSize, src + srcSize, privateBytes);
  return static_cast<int>(publicBytes + privateBytes);
}

bool CopySettingsForCaller(const SettingsRecord& ours, const void* callerInput, size_t callerInputSize,
                           void* output, size_t outSize) {
  if (!output) return false;
  if (!callerInput) {
    if (outSize < kRecordSize) return false;
    std::memcpy(output, &ours, kRecordSize);
    return true;
  }
  if (callerInputSize < kHeaderBytes || outSize < kHeaderBytes) return false;
  const uint16_t inSize = LoadU16(callerInput, callerInputSize, offsetof(DevModeW, dmSize));
  const uint16_t inExtra = LoadU16(callerInput, callerInputSize, offsetof(DevModeW, dmDriverExtra));
  const bool callerPublicSmaller = inSize < ours.dm.dmSize;
  const bool callerPrivateSmaller = inExtra < ours.dm.dmDriverExtra;
  StoreU16(output, offsetof(DevModeW, dmSpecVersion),
           callerPublicSmaller ? LoadU16(callerInput, callerInputSize, offsetof(DevModeW, dmSpecVersion))
                               : ours.dm.dmSpecVersion);
  StoreU16(output, offsetof(DevModeW, dmSize), callerPublicSmaller ? inSize : ours.dm.dmSize);
  StoreU16(output, offsetof(DevModeW, dmDriverVersion),
           callerPrivateSmaller ? LoadU16(callerInput, callerInputSize, offsetof(DevModeW, dmDriverVersion))
                                : ours.dm.dmDriverVersion);
  StoreU16(output, offsetof(DevModeW, dmDriverExtra), callerPrivateSmaller ? inExtra : ours.dm.dmDriverExtra);
  return CopySettings(&ours, sizeof ours, output, outSize) > 0;
}

bool MergeSettings(SettingsRecord& t, const void* incoming, size_t incomingSize, Printer* printer,
                   const DescriptionImage* image, Platform& platform) {
  // 1. Nothing to merge: the defaults stand.
  if (!incoming) return true;
  const SettingsRecord defaults = t;

  // 2. Working copy; only our own records contribute private bytes.
  SettingsRecord w = t;
  const bool own = IsOwnRecord(incoming, incomingSize);
  if (!own) w.dm.dmDriverExtra = 0;
  if (CopySettings(incoming, incomingSize, &w, sizeof w) < 0) return false;
  w.dm.dmDriverExtra = kPrivateSize;
  if (own) RepairPrivatePart(w, defaults, image);
  Terminate(w.dm.dmDeviceName);
  Terminate(w.dm.dmFormName);

  // 3. Public fields, each only when the working copy's dmFields names it.
  const uint32_t f = w.dm.dmFields;
  if (f & dm::kDefaultSource) {
    t.dm.dmDefaultSource = w.dm.dmDefaultSource;
    t.dm.dmFields |= dm::kDefaultSource;
  }
  if (f & dm::kOrientation) {
    t.dm.dmFields |= dm::kOrientation;
    t.dm.dmOrientation = (w.dm.dmOrientation == 1 || w.dm.dmOrientation == 2) ? w.dm.dmOrientation : int16_t{1};
  }
  t.dm.dmFields |= dm::kPaperSize | dm::kPaperLength | dm::kPaperWidth;
  const bool bothDimensions = (f & dm::kPaperLength) && (f & dm::kPaperWidth);
  if (bothDimensions && w.dm.dmPaperLength > 0 && w.dm.dmPaperWidth > 0) {
    t.dm.dmPaperLength = w.dm.dmPaperLength;
    t.dm.dmPaperWidth = w.dm.dmPaperWidth;
    t.dm.dmPaperSize = kCustomPaperSize;
    t.dm.dmFields &= ~dm::kFormName;
  }
  if (f & dm::kPaperSize) {
    t.dm.dmPaperSize = w.dm.dmPaperSize;
    if (w.dm.dmPaperSize == kCustomPaperSize) {
      t.dm.dmFields &= ~dm::kFormName;
    } else {
      PaperForm form;
      if (LookupPaperForm(w, form, image) == PaperLookup::Found) {
        t.dm.dmPaperWidth = static_cast<int16_t>(FixedToTenthMm(form.width));
        t.dm.dmPaperLength = static_cast<int16_t>(FixedToTenthMm(form.height));
        // The form name has to follow the paper size even when the caller
        // named no form, or the record would name the default form.
        std::memcpy(t.dm.dmFormName, w.dm.dmFormName, sizeof t.dm.dmFormName);
      } else {
        t.dm.dmPaperWidth = 0;
        t.dm.dmPaperLength = 0;
      }
    }
  }
  if (f & dm::kFormName) {
    std::memcpy(t.dm.dmFormName, w.dm.dmFormName, sizeof t.dm.dmFormName);
    t.dm.dmFields |= dm::kFormName;
  } else if (f & dm::kPaperSize) {
    t.dm.dmPaperSize = w.dm.dmPaperSize;
  }

  if (EqualsIgnoringAsciiCase(PrintProcessorOf(printer), u"WinPrint")) {
    t.dm.dmFields |= dm::kCopies | dm::kNup;
    t.dm.dmNup = 1;
  } else {
    t.dm.dmFields = (t.dm.dmFields | dm::kCopies) & ~dm::kNup;
    t.dm.dmNup = 2;
  }

  if (w.scaleEnabled)
    t.dm.dmFields |= dm::kScale;
  else
    t.dm.dmFields &= ~dm::kScale;
  t.dm.dmScale = (w.dm.dmScale >= 1 && w.dm.dmScale <= 1000) ? w.dm.dmScale : int16_t{100};
  if (t.dm.dmScale != 100) w.privWord186 = 0;

  if ((f & dm::kCopies) && w.dm.dmCopies >= 1 && w.dm.dmCopies <= 999) {
    t.dm.dmCopies = w.dm.dmCopies;
  } else {
    t.dm.dmCopies = 1;
    w.dm.dmCopies = 1;
  }
  if (f & dm::kCopies) t.dm.dmFields |= dm::kCopies;

  if (f & dm::kPrintQuality) {
    t.dm.dmFields |= dm::kPrintQuality;
    const int q = w.dm.dmPrintQuality;
    if (q == 150 || q == 300 || q == 600) t.dm.dmPrintQuality = w.dm.dmPrintQuality;
  }
  if (f & dm::kColor) {
    t.dm.dmFields |= dm::kColor;
    t.dm.dmColor = (image && image->colorDevice && w.dm.dmColor == 2) ? int16_t{2} : int16_t{1};
  }
  if ((f & dm::kDuplex) && HasDuplexOptions(image) && w.dm.dmDuplex >= 1 && w.dm.dmDuplex <= 3) {
    t.dm.dmDuplex = w.dm.dmDuplex;
    t.dm.dmFields |= dm::kDuplex;
  } else {
    t.dm.dmDuplex = 1;
  }

  if (w.noDriverCollate)
    t.dm.dmFields &= ~dm::kCollate;
  else
    t.dm.dmFields |= dm::kCollate;
  if ((f & dm::kCollate) && !w.noDriverCollate && (w.dm.dmCollate == 0 || w.dm.dmCollate == 1)) {
    t.dm.dmCollate = w.dm.dmCollate;
    t.dm.dmFields |= dm::kCollate;
  } else {
    t.dm.dmCollate = 0;
  }

  // 4. Private part (a foreign record kept the default one in the working copy).
  if (w.signature == kSignature) {
    std::memcpy(reinterpret_cast<uint8_t*>(&t) + kPrivateOffset, reinterpret_cast<const uint8_t*>(&w) + kPrivateOffset,
                kPrivateSize);
    if (image && t.descriptionStamp != GetDescriptionStamp(image)) RebuildOptionSelections(t, image);

    if (t.dm.dmPaperSize == kCustomPaperSize) {
      if (bothDimensions) {
        if (t.dm.dmPaperLength < t.dm.dmPaperWidth && t.dm.dmPaperWidth >= 2160 && t.dm.dmPaperWidth <= 3556 &&
            t.dm.dmPaperLength < 2160) {
          std::swap(t.dm.dmPaperLength, t.dm.dmPaperWidth);
          t.dm.dmOrientation = 2;
        }
        t.customHeight = static_cast<uint16_t>(t.dm.dmPaperLength);
        t.customWidth = static_cast<uint16_t>(t.dm.dmPaperWidth);
      } else if ((f & dm::kPaperLength) && w.dm.dmPaperLength > 0) {
        t.customHeight = static_cast<uint16_t>(w.dm.dmPaperLength);
      } else if ((f & dm::kPaperWidth) && w.dm.dmPaperWidth > 0) {
        t.customWidth = static_cast<uint16_t>(w.dm.dmPaperWidth);
      }
    }
    t.borderless = IsBorderlessPaper(t.dm.dmPaperSize) ? 1 : 0;
    if (t.dm.dmCollate == 1) {
      t.collateJob = 1;
      t.collateFlag = 1;
    }
    PrepareRenderBlock(t, platform);
  }

  // 5. Quality level and the media-dependent mirror bits.
  t.qualityCode = (w.qualityCode >= -4 && w.qualityCode <= -1) ? w.qualityCode : int16_t{-3};
  t.mediaDependentValue = (w.mediaType == 4 || w.mediaType == 5) ? 0 : w.mediaDependentValue;
  return true;
}

}  // namespace qvx::core
