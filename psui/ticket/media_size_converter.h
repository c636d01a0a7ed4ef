// Paper size (with the custom size), orientation and the imageable area.
#pragma once

#include <array>
#include <string>

#include "feature_converter.h"

namespace qvx::ticket {

struct MediaSizeData;
void UpdateImageableArea(MediaSizeData& data);

inline constexpr int kCustomMediaIndex = 30;

struct MediaSizeData {
  int index = 1;  // media table row; kCustomMediaIndex for the custom size
  std::wstring name = L"NorthAmericaLetter";
  int isPrivate = 0;
  int width = 215900, height = 279400;  // microns, portrait
  int imageableWidth = 0, imageableHeight = 0;  // along the orientation
  int originWidth = 0, originHeight = 0, extentWidth = 0, extentHeight = 0;
  int orientation = 1;  // row of kOrientationRows
  int inchUnit = 0;
  MediaSizeData() { UpdateImageableArea(*this); }
};

struct MediaRow {
  UINT displayId;
  int isPrivate;
  const wchar_t* name;
  int width, height, extentWidth, extentHeight, originWidth, originHeight;  // microns, portrait
  int available;
  int direct;  // 0: printable only when scaled to fit
};

inline constexpr std::array<MediaRow, 29> kMediaRows = {{
    {1200, 0, L"ISOA4", 210000, 297000, 204000, 291000, 3000, 3000, 1, 1},
    {1201, 0, L"NorthAmericaLetter", 215900, 279400, 209900, 273400, 3000, 3000, 1, 1},
    {1202, 0, L"NorthAmericaLegal", 215900, 355600, 209900, 349600, 3000, 3000, 1, 1},
    {1203, 0, L"NorthAmericaExecutive", 184150, 266700, 178150, 260700, 3000, 3000, 1, 1},
    {1204, 0, L"ISOA5", 148000, 210000, 142000, 204000, 3000, 3000, 1, 1},
    {1309, 0, L"ISOA6", 105000, 148000, 99000, 142000, 3000, 3000, 1, 1},
    {1301, 0, L"JISB5", 182000, 257000, 176000, 251000, 3000, 3000, 1, 1},
    {1209, 0, L"NorthAmericaNumber10Envelope", 104775, 241300, 98775, 205300, 3000, 12000, 1, 1},
    {1210, 0, L"ISODLEnvelope", 110000, 220000, 104000, 184000, 3000, 12000, 1, 1},
    {1208, 0, L"ISOC5Envelope", 162000, 229000, 156000, 193000, 3000, 12000, 1, 1},
    {1211, 0, L"NorthAmericaMonarchEnvelope", 98425, 190500, 92425, 154500, 3000, 12000, 1, 1},
    {1300, 0, L"JapanHagakiPostcard", 100000, 148000, 94000, 142000, 3000, 3000, 1, 1},
    {1308, 0, L"ISOA3", 297000, 420000, 291000, 414000, 3000, 3000, 1, 0},
    {1307, 0, L"JISB4", 257000, 364000, 251000, 358000, 3000, 3000, 1, 0},
    {1306, 0, L"NorthAmericaTabloid", 279400, 431800, 273400, 425800, 3000, 3000, 1, 0},
    {1303, 0, L"JapanYou4Envelope", 105000, 235000, 99000, 199000, 3000, 12000, 1, 1},
    {1310, 0, L"JapanDoubleHagakiPostcardRotated", 148000, 200000, 142000, 194000, 3000, 3000, 1, 1},
    {1205, 1, L"Post", 101600, 152400, 95600, 146400, 3000, 3000, 1, 1},
    {1206, 1, L"Index", 127000, 203200, 121000, 197200, 3000, 3000, 1, 1},
    {1311, 1, L"PhotoL", 88900, 127000, 82900, 121000, 3000, 3000, 1, 1},
    {1312, 1, L"Photo2L", 127000, 177800, 121000, 171800, 3000, 3000, 1, 1},
    {1340, 1, L"A4BL", 219000, 306000, 215000, 302000, 2000, 2000, 1, 1},
    {1341, 1, L"LetterBL", 224900, 288400, 218900, 284400, 3000, 2000, 1, 1},
    {1342, 1, L"A6BL", 114000, 157000, 110000, 153000, 2000, 2000, 1, 1},
    {1343, 1, L"HagakiBL", 109000, 157000, 105000, 153000, 2000, 2000, 1, 1},
    {1344, 1, L"PhotoLBL", 97900, 136000, 93900, 132000, 2000, 2000, 1, 1},
    {1345, 1, L"Photo2LBL", 136000, 186800, 132000, 182800, 2000, 2000, 1, 1},
    {1346, 1, L"PostBL", 110600, 161400, 104600, 157400, 2000, 2000, 1, 1},
    {1347, 1, L"IndexBL", 136000, 212200, 132000, 208200, 2000, 2000, 1, 1},
}};
inline constexpr int kFirstBorderlessRow = 21, kLastBorderlessRow = 28;

// dmPaperSize code to media table row; JISB4 has no code.
struct PaperCode {
  int code;
  int row;
};
inline constexpr std::array<PaperCode, 28> kPaperCodes = {{
    {1, 1},    {3, 14},   {5, 2},    {7, 3},    {8, 12},   {9, 0},    {11, 4},
    {13, 6},   {20, 7},   {27, 8},   {28, 9},   {37, 10},  {43, 11},  {70, 5},
    {91, 15},  {82, 16},  {265, 17}, {266, 18}, {272, 19}, {273, 20}, {274, 21},
    {275, 22}, {276, 23}, {277, 24}, {278, 25}, {279, 26}, {280, 27}, {281, 28},
}};
inline constexpr int kCustomPaperCode = 256;

inline constexpr std::array<OptionRow, 4> kOrientationRows = {{
    {1, L"Landscape", 8120},
    {1, L"Portrait", 8119},
    {0, L"ReverseLandscape", 0},
    {0, L"ReversePortrait", 0},
}};

inline constexpr ParameterDefRow kMediaWidthParam = {"PageMediaSizeMediaSizeWidth", 0, 215900,
                                                     88900, 224900, 1, "microns"};
inline constexpr ParameterDefRow kMediaHeightParam = {"PageMediaSizeMediaSizeHeight", 0, 279400,
                                                      127000, 355600, 1, "microns"};

// Helpers shared with the scaling converter and the conflict resolver.
HRESULT SetMediaByName(MediaSizeData& data, std::wstring_view name);
HRESULT SetCustomSize(MediaSizeData& data, int width, int height);

class CMediaSizeConverter : public CFeatureConverterT<MediaSizeData> {
 public:
  using CFeatureConverterT::CFeatureConverterT;

  HRESULT AddCapabilities(HANDLE printer, IXMLDOMDocument2* ticket,
                          IXMLDOMDocument2* capabilities) override;
  HRESULT ValidateTicket(HANDLE printer, IXMLDOMDocument2* ticket) override;

  HRESULT ReadSettings(HANDLE printer, const void* publicPart, ULONG publicSize,
                       const void* privatePart, ULONG privateSize, MediaSizeData* data) override;
  HRESULT ReadTicket(IXMLDOMDocument2* ticket, MediaSizeData* data) override;
  HRESULT WriteSettings(HANDLE printer, const MediaSizeData* data, void* publicPart,
                        ULONG publicSize, void* privatePart, ULONG privateSize) override;
  HRESULT WriteTicket(const MediaSizeData* data, IXMLDOMDocument2* ticket) override;

  // The ticket reader (in place) and writer.
  static HRESULT ReadMedia(const CSchemaDocument& doc, MediaSizeData& data);
  static HRESULT WriteMedia(CSchemaDocument& doc, IXMLDOMNode* root, const MediaSizeData& data);
};

}  // namespace qvx::ticket
