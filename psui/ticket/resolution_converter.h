// Print resolution and quality, and the media group: media type, thickness,
// slow drying and bidirectional printing.
#pragma once

#include <array>
#include <string>

#include "feature_converter.h"

namespace qvx::ticket {

struct ResolutionData {
  // Resolution part.
  int resolutionX = 600, resolutionY = 600;
  int resolutionIndex = 0;
  int quality = 2;  // row of kQualityRows (High)
  // Media part.
  int bidirOption = 0;  // row of kBidirRows (On)
  int thickness = 0;    // row of kThicknessRows (Regular)
  int slowDrying = 0;   // row of kSlowDryingRows (Off)
  int mediaTypeIndex = 0;
  std::wstring mediaTypeName = L"Plain";
  std::wstring material = L"Paper";
  std::wstring recycled = L"None";
  int mediaTypeIsPrivate = 0;
};

// Replace one part of `to` with the same part of `from`.
void CopyResolutionPart(ResolutionData& to, const ResolutionData& from);
void CopyMediaPart(ResolutionData& to, const ResolutionData& from);

struct ResolutionRow {
  int available;
  UINT displayId;
  int x, y;
};
inline constexpr std::array<ResolutionRow, 3> kResolutionRows = {{
    {1, 0, 600, 600}, {1, 0, 300, 300}, {1, 0, 150, 150}}};

inline constexpr std::array<OptionRow, 4> kQualityRows = {{
    {1, L"Draft", 6040}, {1, L"Normal", 6041}, {1, L"High", 6042}, {1, L"Photographic", 6043}}};

struct MediaTypeRow {
  int available;
  const wchar_t* name;
  UINT displayId;
  int isPrivate;
  const wchar_t* material;
  const wchar_t* recycled;
};
inline constexpr std::array<MediaTypeRow, 7> kMediaTypeRows = {{
    {1, L"Plain", 1240, 0, L"Paper", L"None"},
    {1, L"Inkjet", 1241, 1, L"Paper", L"None"},
    {1, L"GlossyQuorvel", 1248, 1, L"Paper", L"None"},
    {1, L"GlossyOther", 1247, 1, L"Paper", L"None"},
    {1, L"Transparency", 1244, 0, L"Transparency", L"None"},
    {1, L"GlossyHagakiFront", 1251, 1, L"Paper", L"None"},
    {1, L"GlossyHagakiBack", 1252, 1, L"Paper", L"None"},
}};

// `mediaType` code of the settings record to media type row.
struct MediaTypeCode {
  int code;
  int row;
};
inline constexpr std::array<MediaTypeCode, 7> kMediaTypeCodes = {{
    {0, 0}, {1, 1}, {9, 2}, {3, 3}, {4, 4}, {12, 5}, {13, 6}}};

inline constexpr std::array<OptionRow, 3> kThicknessRows = {{
    {1, L"Regular", 1280}, {1, L"Thick", 1282}, {1, L"Envelope", 1284}}};
inline constexpr std::array<OptionRow, 2> kSlowDryingRows = {{{1, L"Off", 8137}, {1, L"On", 8138}}};
inline constexpr std::array<OptionRow, 2> kBidirRows = {{{1, L"On", 8138}, {1, L"Off", 8137}}};

// Which qualities (Draft, Normal, High, Photographic) each media type row allows.
inline constexpr int kQualityAllowed[7][4] = {
    {1, 1, 1, 1}, {0, 0, 1, 1}, {0, 1, 1, 1}, {0, 1, 1, 1},
    {0, 0, 1, 1}, {1, 1, 1, 1}, {0, 1, 1, 1}};

// Media class of a settings-record `mediaType` code.
int MediaClassOfCode(int mediaTypeCode);
// Print resolution for a media class (0..3) and quality (0..3).
int ResolutionFor(int mediaClass, int quality);

HRESULT SetMediaType(ResolutionData& data, int row);

class CResolutionConverter : public CFeatureConverterT<ResolutionData> {
 public:
  using CFeatureConverterT::CFeatureConverterT;

  HRESULT AddCapabilities(HANDLE printer, IXMLDOMDocument2* ticket,
                          IXMLDOMDocument2* capabilities) override;
  HRESULT ValidateTicket(HANDLE printer, IXMLDOMDocument2* ticket) override;

  HRESULT ReadSettings(HANDLE printer, const void* publicPart, ULONG publicSize,
                       const void* privatePart, ULONG privateSize, ResolutionData* data) override;
  HRESULT ReadTicket(IXMLDOMDocument2* ticket, ResolutionData* data) override;
  HRESULT WriteSettings(HANDLE printer, const ResolutionData* data, void* publicPart,
                        ULONG publicSize, void* privatePart, ULONG privateSize) override;
  HRESULT WriteTicket(const ResolutionData* data, IXMLDOMDocument2* ticket) override;

  // Readers (in place on their part) and writers of the two groups.
  static HRESULT ReadResolution(const CSchemaDocument& doc, ResolutionData& data);
  static HRESULT ReadMediaGroup(const CSchemaDocument& doc, ResolutionData& data);
  static HRESULT WriteResolution(CSchemaDocument& doc, IXMLDOMNode* root,
                                 const ResolutionData& data);
  static HRESULT WriteMediaGroup(CSchemaDocument& doc, IXMLDOMNode* root,
                                 const ResolutionData& data);
};

}  // namespace qvx::ticket
