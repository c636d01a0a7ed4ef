#include "resolution_converter.h"

#include <algorithm>
#include <cstddef>

namespace qvx::ticket {

namespace {

// Level per media class and quality: 0 is 150 dpi, 1 is 300 dpi, more is 600.
constexpr int kResolutionLevel[4][4] = {{0, 1, 2, 3}, {3, 3, 3, 4}, {3, 3, 4, 5}, {2, 2, 2, 3}};

int CodeOfRow(int row) {
  for (const MediaTypeCode& c : kMediaTypeCodes)
    if (c.row == row) return c.code;
  return -1;
}

int RowOfCode(int code) {
  for (const MediaTypeCode& c : kMediaTypeCodes)
    if (c.code == code) return c.row;
  return -1;
}

// Option of a private feature, taken only when it carries the private prefix.
HRESULT ReadPrivateChoice(const CSchemaDocument& doc, std::wstring_view feature,
                          std::span<const OptionRow> rows, int& field, bool& conflict) {
  std::wstring option;
  bool isPrivate = false;
  HRESULT hr = doc.GetFeatureOption(doc.PrivatePrefix(), feature, option, &isPrivate);
  if (hr == kENotFound) {
    conflict = true;
    return S_OK;
  }
  if (FAILED(hr)) return hr;
  if (isPrivate) {
    int row = FindAvailableRow(rows, option);
    if (row >= 0) field = row;
  }
  return S_OK;
}

HRESULT AppendPrivateChoice(CSchemaDocument& doc, IXMLDOMNode* root, std::wstring_view feature,
                            std::span<const OptionRow> rows, int field) {
  Element f, o;
  const size_t row = static_cast<size_t>(std::clamp(field, 0, static_cast<int>(rows.size()) - 1));
  HRESULT hr = doc.CreateFeatureWithOption(true, feature, true, rows[row].name, f, o);
  if (SUCCEEDED(hr)) hr = CSchemaDocument::Append(root, f.Get());
  return hr;
}

}  // namespace

void CopyResolutionPart(ResolutionData& to, const ResolutionData& from) {
  to.resolutionX = from.resolutionX;
  to.resolutionY = from.resolutionY;
  to.resolutionIndex = from.resolutionIndex;
  to.quality = from.quality;
}

void CopyMediaPart(ResolutionData& to, const ResolutionData& from) {
  to.bidirOption = from.bidirOption;
  to.thickness = from.thickness;
  to.slowDrying = from.slowDrying;
  to.mediaTypeIndex = from.mediaTypeIndex;
  to.mediaTypeName = from.mediaTypeName;
  to.material = from.material;
  to.recycled = from.recycled;
  to.mediaTypeIsPrivate = from.mediaTypeIsPrivate;
}

int MediaClassOfCode(int code) {
  switch (code) {
    case 0: case 8: case 12: return 0;
    case 1: return 1;
    case 2: case 3: case 9: case 10: case 11: case 13: return 2;
    default: return 3;
  }
}

int ResolutionFor(int mediaClass, int quality) {
  const int level = kResolutionLevel[std::clamp(mediaClass, 0, 3)][std::clamp(quality, 0, 3)];
  return level == 0 ? 150 : level == 1 ? 300 : 600;
}

HRESULT SetMediaType(ResolutionData& d, int row) {
  if (row < 0 || row >= static_cast<int>(kMediaTypeRows.size())) return E_FAIL;
  const MediaTypeRow& r = kMediaTypeRows[static_cast<size_t>(row)];
  d.mediaTypeIndex = row;
  d.mediaTypeName = r.name;
  d.material = r.material;
  d.recycled = r.recycled;
  d.mediaTypeIsPrivate = r.isPrivate;
  return S_OK;
}

// ------------------------------------------------------------ settings side

HRESULT CResolutionConverter::ReadSettings(HANDLE, const void* pub, ULONG pubSize,
                                           const void* priv, ULONG privSize,
                                           ResolutionData* data) {
  if (HRESULT hr = CheckRead(pub, pubSize, priv, privSize, data); FAILED(hr)) return hr;
  ResolutionData& d = *data;
  const int code = ReadPrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, mediaType), 0);
  (void)SetMediaType(d, RowOfCode(code));

  switch (ReadPrivate<int16_t>(priv, privSize, offsetof(SettingsRecord, qualityCode), -3)) {
    case -1: d.quality = 0; break;
    case -2: d.quality = 1; break;
    case -3: d.quality = 2; break;
    default: d.quality = 3; break;
  }
  const int dpi = ResolutionFor(MediaClassOfCode(code), d.quality);
  for (size_t i = 0; i < kResolutionRows.size(); ++i) {
    const ResolutionRow& r = kResolutionRows[i];
    if (r.available && r.x == dpi && r.y == dpi) {
      d.resolutionX = r.x;
      d.resolutionY = r.y;
      d.resolutionIndex = static_cast<int>(i);
      break;
    }
  }

  switch (ReadPrivate<uint32_t>(priv, privSize, offsetof(SettingsRecord, bidirectional), 2)) {
    case 1: d.bidirOption = 0; break;
    case 0: d.bidirOption = 1; break;
    default: break;
  }
  switch (ReadPrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, thickness), 1)) {
    case 0: d.thickness = 0; break;
    case 2: d.thickness = 1; break;
    case 4: d.thickness = 2; break;
    default: break;
  }
  switch (ReadPrivate<uint32_t>(priv, privSize, offsetof(SettingsRecord, mediaVariant), 2)) {
    case 1: d.slowDrying = 1; break;
    case 0: d.slowDrying = 0; break;
    default: break;
  }
  return S_OK;
}

HRESULT CResolutionConverter::WriteSettings(HANDLE, const ResolutionData* data, void* pub,
                                            ULONG pubSize, void* priv, ULONG privSize) {
  if (HRESULT hr = CheckWrite(pub, pubSize, priv, privSize, data); FAILED(hr)) return hr;
  const ResolutionData& d = *data;
  const int code = CodeOfRow(d.mediaTypeIndex);
  if (code >= 0)
    WritePrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, mediaType),
                           static_cast<uint16_t>(code));
  const int mediaType =
      ReadPrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, mediaType), 0);
  const int16_t qualityCode = d.quality == 3 ? -4 : d.quality == 2 ? -3 : d.quality == 1 ? -2 : -1;
  WritePrivate<int16_t>(priv, privSize, offsetof(SettingsRecord, qualityCode), qualityCode);
  WritePublic<int16_t>(pub, offsetof(DevModeW, dmPrintQuality),
                       static_cast<int16_t>(ResolutionFor(MediaClassOfCode(mediaType), d.quality)));

  if (d.bidirOption == 0 || d.bidirOption == 1) {
    const uint32_t on = d.bidirOption == 0 ? 1 : 0;
    WritePrivate<uint32_t>(priv, privSize, offsetof(SettingsRecord, bidirectional), on);
    WritePrivate<uint32_t>(priv, privSize, offsetof(SettingsRecord, bidirectionalJob), on);
  }
  const uint16_t thickness = d.thickness == 1 ? 2 : d.thickness == 2 ? 4 : 0;
  WritePrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, thickness), thickness);
  WritePrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, thicknessJob), thickness);
  if (d.slowDrying == 0 || d.slowDrying == 1)
    WritePrivate<uint32_t>(priv, privSize, offsetof(SettingsRecord, mediaVariant),
                           static_cast<uint32_t>(d.slowDrying));
  return S_OK;
}

// -------------------------------------------------------------- ticket side

HRESULT CResolutionConverter::ReadResolution(const CSchemaDocument& doc, ResolutionData& d) {
  bool conflict = false;
  int x = 0, y = 0;
  HRESULT hr = doc.GetScoredPropertyInteger(L"PageResolution", L"ResolutionX", x);
  if (SUCCEEDED(hr)) hr = doc.GetScoredPropertyInteger(L"PageResolution", L"ResolutionY", y);
  if (SUCCEEDED(hr)) {
    for (size_t i = 0; i < kResolutionRows.size(); ++i) {
      const ResolutionRow& r = kResolutionRows[i];
      if (r.available && r.x == x && r.y == y) {
        d.resolutionX = x;
        d.resolutionY = y;
        d.resolutionIndex = static_cast<int>(i);
        break;
      }
    }
  } else if (hr == kENotFound) {
    conflict = true;
  }

  std::wstring option;
  hr = doc.GetFeatureOption(doc.KeywordPrefix(), L"PageOutputQuality", option, nullptr);
  if (hr == kENotFound) {
    conflict = true;
  } else if (FAILED(hr)) {
    return hr;
  } else {
    int row = FindAvailableRow(kQualityRows, option);
    if (row < 0) return E_FAIL;
    d.quality = row;
  }
  return conflict ? kSPtConflictResolved : S_OK;
}

HRESULT CResolutionConverter::ReadMediaGroup(const CSchemaDocument& doc, ResolutionData& d) {
  bool conflict = false;
  std::wstring option;
  bool isPrivate = false;
  HRESULT hr = doc.GetFeatureOption(doc.KeywordPrefix(), L"PageMediaType", option, &isPrivate);
  if (SUCCEEDED(hr)) {
    for (size_t i = 0; i < kMediaTypeRows.size(); ++i) {
      const MediaTypeRow& r = kMediaTypeRows[i];
      if (!r.available || option != r.name) continue;
      (void)SetMediaType(d, r.isPrivate == (isPrivate ? 1 : 0) ? static_cast<int>(i) : 0);
      break;
    }
  } else if (hr != kENotFound) {
    return hr;
  }
  if (FAILED(hr = ReadPrivateChoice(doc, L"PageThicknessType", kThicknessRows, d.thickness, conflict)))
    return hr;
  if (FAILED(hr = ReadPrivateChoice(doc, L"PageSlowDrying", kSlowDryingRows, d.slowDrying, conflict)))
    return hr;
  if (FAILED(hr = ReadPrivateChoice(doc, L"PageBidirPrint", kBidirRows, d.bidirOption, conflict)))
    return hr;
  return conflict ? kSPtConflictResolved : S_OK;
}

HRESULT CResolutionConverter::WriteResolution(CSchemaDocument& doc, IXMLDOMNode* root,
                                              const ResolutionData& d) {
  HRESULT hr;
  if (FAILED(hr = doc.RemoveFeature(L"PageResolution"))) return hr;
  if (FAILED(hr = doc.RemoveFeature(L"PageOutputQuality"))) return hr;
  Element feature, option, x, y;
  if (FAILED(hr = doc.CreateFeatureAndOption(false, L"PageResolution", feature, option))) return hr;
  if (FAILED(hr = doc.CreateIntegerScoredProperty(doc.KeywordPrefix(), L"ResolutionX", d.resolutionX, x)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(option, x))) return hr;
  if (FAILED(hr = doc.CreateIntegerScoredProperty(doc.KeywordPrefix(), L"ResolutionY", d.resolutionY, y)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(option, y))) return hr;
  if (FAILED(hr = CSchemaDocument::Append(root, feature.Get()))) return hr;

  const size_t quality = static_cast<size_t>(std::clamp(d.quality, 0, 3));
  if (FAILED(hr = doc.CreateFeatureWithOption(false, L"PageOutputQuality", false,
                                              kQualityRows[quality].name, feature, option)))
    return hr;
  return CSchemaDocument::Append(root, feature.Get());
}

HRESULT CResolutionConverter::WriteMediaGroup(CSchemaDocument& doc, IXMLDOMNode* root,
                                              const ResolutionData& d) {
  HRESULT hr;
  if (FAILED(hr = doc.RemoveFeature(L"PageMediaType"))) return hr;
  for (const wchar_t* f : {L"PageThicknessType", L"PageSlowDrying", L"PageBidirPrint"})
    if (FAILED(hr = doc.RemovePrivateFeature(f))) return hr;

  Element feature, option, material, recycled;
  if (FAILED(hr = doc.CreateFeatureWithOption(false, L"PageMediaType", d.mediaTypeIsPrivate != 0,
                                              d.mediaTypeName, feature, option)))
    return hr;
  if (FAILED(hr = doc.CreateStringScoredProperty(doc.KeywordPrefix(), L"Material", d.material, material)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(option, material))) return hr;
  if (FAILED(hr = doc.CreateStringScoredProperty(doc.KeywordPrefix(), L"Recycled", d.recycled, recycled)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(option, recycled))) return hr;
  if (FAILED(hr = CSchemaDocument::Append(root, feature.Get()))) return hr;

  (void)AppendPrivateChoice(doc, root, L"PageThicknessType", kThicknessRows, d.thickness);
  (void)AppendPrivateChoice(doc, root, L"PageSlowDrying", kSlowDryingRows, d.slowDrying);
  return AppendPrivateChoice(doc, root, L"PageBidirPrint", kBidirRows, d.bidirOption);
}

HRESULT CResolutionConverter::ReadTicket(IXMLDOMDocument2* ticket, ResolutionData* data) {
  return ReadTicketWith(ticket, data, [](const CSchemaDocument& doc, ResolutionData& d) {
    ResolutionData fresh;
    if (SUCCEEDED(ReadResolution(doc, fresh))) CopyResolutionPart(d, fresh);
    ResolutionData media;
    HRESULT hr = ReadMediaGroup(doc, media);
    if (SUCCEEDED(hr)) CopyMediaPart(d, media);
    return hr;
  });
}

HRESULT CResolutionConverter::WriteTicket(const ResolutionData* data, IXMLDOMDocument2* ticket) {
  return WriteTicketWith(data, ticket, [](CSchemaDocument& doc, IXMLDOMNode* root,
                                          const ResolutionData& d) {
    (void)WriteResolution(doc, root, d);
    return WriteMediaGroup(doc, root, d);
  });
}

HRESULT CResolutionConverter::ValidateTicket(HANDLE, IXMLDOMDocument2* ticket) {
  if (!ticket) return E_POINTER;
  ResolutionData media;
  HRESULT result = ValidateWith(ticket, media, ReadMediaGroup, WriteMediaGroup);
  if (FAILED(result)) result = kSPtNoConflict;  // the media group reports no errors
  ResolutionData resolution;
  HRESULT hr = ValidateWith(ticket, resolution, ReadResolution, WriteResolution);
  if (FAILED(hr)) return hr;
  return hr == kSPtConflictResolved ? hr : result;
}

// ------------------------------------------------------------- capabilities

HRESULT CResolutionConverter::AddCapabilities(HANDLE, IXMLDOMDocument2* ticket,
                                              IXMLDOMDocument2* capabilities) {
  HRESULT hr = AddCapabilitiesWith(capabilities, [](CSchemaDocument& doc, const Node& root) {
    const std::wstring& psk = doc.KeywordPrefix();
    Element feature;
    HRESULT hr = doc.CreatePickOneFeature(L"PageMediaType", LoadDisplayString(8111, true), feature);
    if (FAILED(hr)) return hr;
    CNodeList options;
    for (const MediaTypeRow& r : kMediaTypeRows) {
      if (!r.available) continue;
      Element option, material, recycled;
      if (FAILED(hr = doc.CreateOption(r.isPrivate ? doc.PrivatePrefix() : psk, r.name,
                                       LoadDisplayString(r.displayId, true), Constraint::None,
                                       option)))
        return hr;
      if (FAILED(hr = doc.CreateStringScoredProperty(psk, L"Material", r.material, material))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, material))) return hr;
      if (FAILED(hr = doc.CreateStringScoredProperty(psk, L"Recycled", r.recycled, recycled))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, recycled))) return hr;
      options.Insert(Node::Share(option.Get()));
    }
    for (const Node& o : options)
      if (FAILED(hr = CSchemaDocument::Append(feature.Get(), o.Get()))) return hr;
    if (FAILED(hr = CSchemaDocument::Append(root.Get(), feature.Get()))) return hr;
    if (FAILED(hr = BuildPickOneFeature(doc, root.Get(), true, L"PageThicknessType", 6030, kThicknessRows)))
      return hr;
    if (FAILED(hr = BuildPickOneFeature(doc, root.Get(), true, L"PageSlowDrying", 1246, kSlowDryingRows)))
      return hr;
    return BuildPickOneFeature(doc, root.Get(), true, L"PageBidirPrint", 6028, kBidirRows);
  });
  if (FAILED(hr)) return hr;

  return AddCapabilitiesWith(capabilities, [&](CSchemaDocument& doc, const Node& root) {
    const std::wstring& psk = doc.KeywordPrefix();
    ResolutionData media;
    if (ticket) {
      CSchemaDocument ticketDoc(kTicketRoot, PrivateUri(), false, ticket);
      (void)ReadMediaGroup(ticketDoc, media);
    }
    Element feature;
    HRESULT hr = doc.CreatePickOneFeature(L"PageResolution", L"", feature);
    if (FAILED(hr)) return hr;
    for (const ResolutionRow& r : kResolutionRows) {
      if (!r.available) continue;
      Element option, x, y;
      if (FAILED(hr = doc.CreateOption(psk, L"", L"", Constraint::None, option))) return hr;
      if (FAILED(hr = doc.CreateIntegerScoredProperty(psk, L"ResolutionX", r.x, x))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, x))) return hr;
      if (FAILED(hr = doc.CreateIntegerScoredProperty(psk, L"ResolutionY", r.y, y))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, y))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(feature, option))) return hr;
    }
    if (FAILED(hr = CSchemaDocument::Append(root.Get(), feature.Get()))) return hr;

    const size_t mediaRow = static_cast<size_t>(std::clamp(media.mediaTypeIndex, 0, 6));
    return BuildPickOneFeature(doc, root.Get(), false, L"PageOutputQuality", 0, kQualityRows,
                               [&](size_t q) {
                                 return ticket && !kQualityAllowed[mediaRow][q]
                                            ? Constraint::PrintTicketSettings
                                            : Constraint::None;
                               });
  });
}

}  // namespace qvx::ticket
