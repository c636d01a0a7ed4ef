#include "media_size_converter.h"

#include <algorithm>
#include <cstddef>

namespace qvx::ticket {

namespace {

constexpr int kMinCustomWidth = 88900, kMaxCustomWidth = 224900;
constexpr int kMinCustomHeight = 127000, kMaxCustomHeight = 355600;
constexpr int kCustomMargin = 3000;

// Clamps one custom dimension; true when the value had to change.
bool ClampDimension(int& v, int fallback, int lo, int hi) {
  bool changed = false;
  if (v < 0) {
    v = fallback;
    changed = true;
  }
  int c = std::clamp(v, lo, hi);
  changed |= c != v;
  v = c;
  return changed;
}

}  // namespace

void UpdateImageableArea(MediaSizeData& d) {
  const bool upright = d.orientation == 1 || d.orientation == 3;
  if (d.index < 0 || d.index >= static_cast<int>(kMediaRows.size())) {
    d.imageableWidth = upright ? d.width : d.height;
    d.imageableHeight = upright ? d.height : d.width;
    d.originWidth = d.originHeight = kCustomMargin;
    d.extentWidth = d.imageableWidth - 2 * kCustomMargin;
    d.extentHeight = d.imageableHeight - 2 * kCustomMargin;
    return;
  }
  const MediaRow& r = kMediaRows[static_cast<size_t>(d.index)];
  if (upright) {
    d.imageableWidth = d.width;
    d.imageableHeight = d.height;
    d.originWidth = r.originWidth;
    d.originHeight = r.originHeight;
    d.extentWidth = r.extentWidth;
    d.extentHeight = r.extentHeight;
  } else {
    d.imageableWidth = d.height;
    d.imageableHeight = d.width;
    d.originWidth = r.originHeight;
    d.originHeight = r.originWidth;
    d.extentWidth = r.extentHeight;
    d.extentHeight = r.extentWidth;
  }
}

HRESULT SetMediaByName(MediaSizeData& d, std::wstring_view name) {
  for (size_t i = 0; i < kMediaRows.size(); ++i) {
    const MediaRow& r = kMediaRows[i];
    if (name != r.name) continue;
    if (!r.available) return E_FAIL;
    d.index = static_cast<int>(i);
    d.name = r.name;
    d.isPrivate = r.isPrivate;
    d.width = r.width;
    d.height = r.height;
    UpdateImageableArea(d);
    return S_OK;
  }
  return E_FAIL;
}

HRESULT SetCustomSize(MediaSizeData& d, int width, int height) {
  bool changed = ClampDimension(width, 215900, kMinCustomWidth, kMaxCustomWidth);
  changed |= ClampDimension(height, 279400, kMinCustomHeight, kMaxCustomHeight);
  d.index = kCustomMediaIndex;
  d.name = L"CustomMediaSize";
  d.isPrivate = 0;
  d.width = width;
  d.height = height;
  UpdateImageableArea(d);
  return changed ? kSPtConflictResolved : S_OK;
}

// ------------------------------------------------------------ settings side

HRESULT CMediaSizeConverter::ReadSettings(HANDLE, const void* pub, ULONG pubSize, const void* priv,
                                          ULONG privSize, MediaSizeData* data) {
  if (HRESULT hr = CheckRead(pub, pubSize, priv, privSize, data); FAILED(hr)) return hr;
  MediaSizeData& d = *data;
  const int paper = ReadPublic<int16_t>(pub, offsetof(DevModeW, dmPaperSize));
  const PaperCode* code = std::find_if(kPaperCodes.begin(), kPaperCodes.end(),
                                       [&](const PaperCode& c) { return c.code == paper; });
  if (code != kPaperCodes.end()) {
    (void)SetMediaByName(d, kMediaRows[static_cast<size_t>(code->row)].name);
  } else {
    const int w = ReadPrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, customWidth), 2159);
    const int h = ReadPrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, customHeight), 2794);
    (void)SetCustomSize(d, w * 100, h * 100);
  }
  d.orientation = ReadPublic<int16_t>(pub, offsetof(DevModeW, dmOrientation)) == 2 ? 0 : 1;
  UpdateImageableArea(d);
  d.inchUnit =
      ReadPrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, customUnitInch), 0) == 1;
  return S_OK;
}

HRESULT CMediaSizeConverter::WriteSettings(HANDLE, const MediaSizeData* data, void* pub,
                                           ULONG pubSize, void* priv, ULONG privSize) {
  if (HRESULT hr = CheckWrite(pub, pubSize, priv, privSize, data); FAILED(hr)) return hr;
  const MediaSizeData& d = *data;
  if (d.index == kCustomMediaIndex) {
    WritePublic<int16_t>(pub, offsetof(DevModeW, dmPaperSize), kCustomPaperCode);
    WritePrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, customWidth),
                           static_cast<uint16_t>(d.width / 100));
    WritePrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, customHeight),
                           static_cast<uint16_t>(d.height / 100));
  } else {
    for (const PaperCode& c : kPaperCodes) {
      if (c.row == d.index) {
        WritePublic<int16_t>(pub, offsetof(DevModeW, dmPaperSize), static_cast<int16_t>(c.code));
        break;
      }
    }
  }
  const bool upright = d.orientation == 1 || d.orientation == 3;
  WritePublic<int16_t>(pub, offsetof(DevModeW, dmOrientation), upright ? 1 : 2);
  WritePrivate<uint16_t>(priv, privSize, offsetof(SettingsRecord, customUnitInch),
                         d.inchUnit == 1 ? 1 : 0);
  return S_OK;
}

// -------------------------------------------------------------- ticket side

HRESULT CMediaSizeConverter::ReadMedia(const CSchemaDocument& doc, MediaSizeData& d) {
  bool conflict = false;
  std::wstring option;
  bool isPrivate = false;

  HRESULT hr = doc.GetFeatureOption(doc.KeywordPrefix(), L"PageMediaSize", option, &isPrivate);
  if (hr == kENotFound) {
    conflict = true;
  } else if (FAILED(hr)) {
    return hr;
  } else {
    bool fromTable = SUCCEEDED(SetMediaByName(d, option)) &&
                     kMediaRows[static_cast<size_t>(d.index)].isPrivate == (isPrivate ? 1 : 0);
    if (!fromTable) {
      int width = 0, height = 0;
      hr = doc.GetScoredPropertyInteger(L"PageMediaSize", L"MediaSizeWidth", width);
      if (SUCCEEDED(hr)) hr = doc.GetScoredPropertyInteger(L"PageMediaSize", L"MediaSizeHeight", height);
      if (SUCCEEDED(hr)) {
        conflict |= SetCustomSize(d, width, height) == kSPtConflictResolved;
      } else if (hr != kENotFound) {
        return hr;
      }
    }
  }

  hr = doc.GetFeatureOption(doc.KeywordPrefix(), L"PageOrientation", option, nullptr);
  if (hr == kENotFound) {
    conflict = true;
  } else if (FAILED(hr)) {
    return hr;
  } else {
    for (size_t i = 0; i < kOrientationRows.size(); ++i) {
      if (option == kOrientationRows[i].name) {
        d.orientation = static_cast<int>(i);
        UpdateImageableArea(d);
        break;
      }
    }
  }

  const std::wstring dataQuery = doc.PropertyQuery(doc.PrivatePrefix(), L"PageMediaSizeData");
  hr = doc.NodeExists(dataQuery);
  if (hr == kENotFound) {
    conflict = true;
  } else if (FAILED(hr)) {
    return hr;
  } else {
    std::wstring unit;
    hr = doc.GetValueText(
        CXPathBuilder(doc.FrameworkPrefix())
            .Append(dataQuery)
            .Property(doc.Qualified(doc.PrivatePrefix(), L"CustomUnitType"))
            .Get(),
        unit);
    if (hr == kENotFound) {
      conflict = true;
    } else if (FAILED(hr)) {
      return hr;
    } else if (unit == L"inch") {
      d.inchUnit = 1;
    } else if (unit == L"mm") {
      d.inchUnit = 0;
    }
  }
  return conflict ? kSPtConflictResolved : S_OK;
}

HRESULT CMediaSizeConverter::WriteMedia(CSchemaDocument& doc, IXMLDOMNode* root,
                                        const MediaSizeData& d) {
  const std::wstring& psk = doc.KeywordPrefix();
  HRESULT hr;
  if (FAILED(hr = doc.RemoveFeature(L"PageMediaSize"))) return hr;
  if (FAILED(hr = doc.RemoveFeature(L"PageOrientation"))) return hr;
  if (FAILED(hr = doc.RemovePrivateProperty(L"PageMediaSizeData"))) return hr;
  if (FAILED(hr = doc.RemoveParameterInit(ParameterName(kMediaWidthParam)))) return hr;
  if (FAILED(hr = doc.RemoveParameterInit(ParameterName(kMediaHeightParam)))) return hr;

  Element feature, option;
  if (FAILED(hr = doc.CreateFeatureWithOption(false, L"PageMediaSize", d.isPrivate != 0, d.name,
                                              feature, option)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(root, feature.Get()))) return hr;

  const std::pair<const ParameterDefRow*, const wchar_t*> dims[] = {
      {&kMediaWidthParam, L"MediaSizeWidth"}, {&kMediaHeightParam, L"MediaSizeHeight"}};
  const int values[] = {d.width, d.height};
  for (int i = 0; i < 2; ++i) {
    Element sp;
    if (d.index == kCustomMediaIndex) {
      Element ref, init;
      if (FAILED(hr = doc.CreateIntegerParameterInit(ParameterName(*dims[i].first), values[i], &ref, init)))
        return hr;
      if (FAILED(hr = doc.AppendScoredProperty(psk, dims[i].second, option.Get(), sp))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(sp, ref))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(root, init.Get()))) return hr;
    } else {
      if (FAILED(hr = doc.CreateIntegerScoredProperty(psk, dims[i].second, values[i], sp))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, sp))) return hr;
    }
  }

  const size_t orientation = static_cast<size_t>(std::clamp(d.orientation, 0, 3));
  if (FAILED(hr = doc.CreateFeatureWithOption(false, L"PageOrientation", false,
                                              kOrientationRows[orientation].name, feature, option)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(root, feature.Get()))) return hr;

  Element data, unit;
  if (FAILED(hr = doc.CreateProperty(doc.PrivatePrefix(), L"PageMediaSizeData", data))) return hr;
  if (FAILED(hr = doc.CreateValueProperty(doc.PrivatePrefix(), L"CustomUnitType", L"string",
                                          d.inchUnit == 1 ? L"inch" : L"mm", unit)))
    return hr;
  if (FAILED(hr = CSchemaDocument::Append(data, unit))) return hr;
  return CSchemaDocument::Append(root, data.Get());
}

HRESULT CMediaSizeConverter::ReadTicket(IXMLDOMDocument2* ticket, MediaSizeData* data) {
  return ReadTicketWith(ticket, data, ReadMedia);
}

HRESULT CMediaSizeConverter::WriteTicket(const MediaSizeData* data, IXMLDOMDocument2* ticket) {
  return WriteTicketWith(data, ticket, WriteMedia);
}

HRESULT CMediaSizeConverter::ValidateTicket(HANDLE, IXMLDOMDocument2* ticket) {
  MediaSizeData data;
  return ValidateWith(ticket, data, ReadMedia, WriteMedia);
}

// ------------------------------------------------------------- capabilities

HRESULT CMediaSizeConverter::AddCapabilities(HANDLE, IXMLDOMDocument2* ticket,
                                             IXMLDOMDocument2* capabilities) {
  return AddCapabilitiesWith(capabilities, [&](CSchemaDocument& doc, const Node& root) -> HRESULT {
    const std::wstring& psk = doc.KeywordPrefix();
    HRESULT hr;
    Element feature;
    if (FAILED(hr = doc.CreatePickOneFeature(L"PageMediaSize", L"", feature))) return hr;

    CNodeList options;
    for (const MediaRow& r : kMediaRows) {
      if (!r.available) continue;
      Element option, w, h;
      std::wstring display = r.displayId ? LoadDisplayString(r.displayId, true) : std::wstring();
      if (FAILED(hr = doc.CreateOption(r.isPrivate ? doc.PrivatePrefix() : psk, r.name, display,
                                       Constraint::None, option)))
        return hr;
      if (FAILED(hr = doc.CreateIntegerScoredProperty(psk, L"MediaSizeWidth", r.width, w))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, w))) return hr;
      if (FAILED(hr = doc.CreateIntegerScoredProperty(psk, L"MediaSizeHeight", r.height, h))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(option, h))) return hr;
      options.Insert(Node::Share(option.Get()));
    }
    Element custom;
    if (FAILED(hr = doc.CreatePublicOption(L"CustomMediaSize", LoadDisplayString(1215, true),
                                           Constraint::None, custom)))
      return hr;
    for (const auto& [param, prop] : {std::pair{&kMediaWidthParam, L"MediaSizeWidth"},
                                      std::pair{&kMediaHeightParam, L"MediaSizeHeight"}}) {
      Element sp, ref;
      if (FAILED(hr = doc.AppendScoredProperty(psk, prop, custom.Get(), sp))) return hr;
      if (FAILED(hr = doc.CreateParameterRef(ParameterName(*param), false, ref))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(sp, ref))) return hr;
    }
    options.Insert(Node::Share(custom.Get()));
    for (const Node& o : options)
      if (FAILED(hr = CSchemaDocument::Append(feature.Get(), o.Get()))) return hr;
    if (FAILED(hr = CSchemaDocument::Append(root.Get(), feature.Get()))) return hr;
    if (FAILED(hr = AppendParameterDef(doc, root.Get(), kMediaWidthParam))) return hr;
    if (FAILED(hr = AppendParameterDef(doc, root.Get(), kMediaHeightParam))) return hr;

    if (ticket) {
      MediaSizeData d;
      CSchemaDocument ticketDoc(kTicketRoot, PrivateUri(), false, ticket);
      if (FAILED(hr = ReadMedia(ticketDoc, d))) return hr;
      Element size, area;
      if (FAILED(hr = doc.CreateProperty(psk, L"PageImageableSize", size))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(root.Get(), size.Get()))) return hr;
      if (FAILED(hr = doc.CreateProperty(psk, L"ImageableArea", area))) return hr;
      if (FAILED(hr = CSchemaDocument::Append(size, area))) return hr;
      const std::pair<const Element*, std::pair<const wchar_t*, int>> props[] = {
          {&size, {L"ImageableSizeWidth", d.imageableWidth}},
          {&size, {L"ImageableSizeHeight", d.imageableHeight}},
          {&area, {L"OriginWidth", d.originWidth}},
          {&area, {L"OriginHeight", d.originHeight}},
          {&area, {L"ExtentWidth", d.extentWidth}},
          {&area, {L"ExtentHeight", d.extentHeight}},
      };
      for (const auto& [parent, prop] : props) {
        Element p;
        if (FAILED(hr = doc.CreateIntegerProperty(psk, prop.first, prop.second, p))) return hr;
        if (FAILED(hr = CSchemaDocument::Append(*parent, p))) return hr;
      }
    }
    return BuildPickOneFeature(doc, root.Get(), false, L"PageOrientation", 8118, kOrientationRows);
  });
}

}  // namespace qvx::ticket
