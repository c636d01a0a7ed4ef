// Helpers shared by the encoder tests: settings records, page records, a
// capturing callback and a stream tokenizer.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "qvenc.h"
#include "settings_record.h"

namespace qvx::enc::test {

// A colour A4 record at 150 dpi (draft quality on plain paper), one copy.
inline SettingsRecord Settings() {
  SettingsRecord s{};
  s.dm.dmSpecVersion = kSpecVersion;
  s.dm.dmDriverVersion = kDriverVersion;
  s.dm.dmSize = kPublicSize;
  s.dm.dmDriverExtra = kPrivateSize;
  s.dm.dmPaperSize = 9;
  s.dm.dmCopies = 1;
  s.dm.dmColor = 2;
  s.dm.dmDefaultSource = 7;
  s.signature = kSignature;
  s.mediaType = 0;
  s.qualityCode = -1;
  s.docType = 2;
  s.halftone = 2;
  s.compressionMode = 2;
  s.bidirectional = 1;
  s.multibitMode = 0;
  return s;
}

// 24-bit RGB rows, each padded to whole 32-bit words.
inline QvEncPageInfo PageInfo(int32_t documentId, int32_t pageId, int32_t bandRows,
                              int32_t width = 200, int32_t height = 300) {
  QvEncPageInfo info{};
  info.pageWidth = width;
  info.pageHeight = height;
  info.rowBits = (width * 24 + 31) / 32 * 32;
  info.bandRows = bandRows;
  info.pageId = pageId;
  info.documentId = documentId;
  info.rasterFormat = 2;
  std::strcpy(info.colorSpace, "DeviceRGB");
  return info;
}

// Rows whose pixels tell where they came from: R = row, G = row >> 8, B = column.
inline std::vector<uint8_t> Rows(const QvEncPageInfo& info, int32_t firstRow) {
  const size_t stride = static_cast<size_t>(info.rowBits + 7) / 8;
  std::vector<uint8_t> rows(stride * info.bandRows);
  for (int32_t r = 0; r < info.bandRows; ++r)
    for (int32_t c = 0; c < info.pageWidth && 3 * static_cast<size_t>(c) + 3 <= stride; ++c) {
      uint8_t* px = &rows[stride * r + 3 * c];
      px[0] = static_cast<uint8_t>(firstRow + r);
      px[1] = static_cast<uint8_t>((firstRow + r) >> 8);
      px[2] = static_cast<uint8_t>(c);
    }
  return rows;
}

struct Capture {
  std::vector<uint8_t> bytes;
  int calls = 0;
  int failAtCall = 0;  // 1-based; 0 never
  int32_t failure = -77;
};

inline int32_t QVENC_CALL CaptureWrite(const void* bytes, uint32_t count, void* context) {
  auto* c = static_cast<Capture*>(context);
  if (++c->calls == c->failAtCall) return c->failure;
  const auto* p = static_cast<const uint8_t*>(bytes);
  c->bytes.insert(c->bytes.end(), p, p + count);
  return 0;
}

// Finds the framing of a command stream: "H" for a document header, "T" for a
// document trailer and "p<n>" for each page header, n being the paper size code
// of the header plus 1. Raster bytes between them are passed over.
inline std::vector<std::string> Tokens(const std::vector<uint8_t>& s) {
  static const uint8_t kStart[] = {0x1B, 0x7C, 0x01, 0x00, 0x09};
  static const uint8_t kPage[] = {0x1B, 0x7C, 0x01, 0x00, 0x09, 'U', 'Q', 0x04, 0, 0, 0, 0, 'V'};
  static const uint8_t kReset[] = {0x1B, 0x40};
  auto at = [&](size_t i, const uint8_t* what, size_t n) {
    return i + n <= s.size() && std::memcmp(&s[i], what, n) == 0;
  };
  auto zeros = [&](size_t i, size_t n) {
    if (i + n > s.size()) return false;
    for (size_t k = 0; k < n; ++k)
      if (s[i + k] != 0) return false;
    return true;
  };
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    if (zeros(i, 3328) && at(i + 3328, kStart, 5) && at(i + 3333, kReset, 2)) {
      out.push_back("H");
      i += 3335;
    } else if (at(i, kReset, 2) && zeros(i + 2, 3328)) {
      out.push_back("T");
      i += 3330;
    } else if (at(i, kPage, sizeof kPage) && i + 51 <= s.size() && s[i + 34] == 's') {
      out.push_back(std::to_string(s[i + 35] + 1));
      out.back().insert(0, 1, 'p');
      i += 51;
    } else {
      ++i;
    }
  }
  return out;
}

inline std::string Join(const std::vector<std::string>& tokens) {
  std::string out;
  for (const auto& t : tokens) {
    if (!out.empty()) out += ' ';
    out += t;
  }
  return out;
}

}  // namespace qvx::enc::test
