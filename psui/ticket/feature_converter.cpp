#include "feature_converter.h"

namespace qvx::ticket {

std::wstring FromAnsi(const char* text) {
  if (!text || !*text) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

HRESULT AppendParameterDef(const CSchemaDocument& doc, IXMLDOMNode* root,
                           const ParameterDefRow& row) {
  Element def;
  HRESULT hr = doc.CreateIntegerParameterDef(FromAnsi(row.name), row.isPrivate != 0, L"",
                                             row.defaultValue, row.minValue, row.maxValue,
                                             row.multiple, FromAnsi(row.unitType), def);
  if (FAILED(hr)) return hr;
  return CSchemaDocument::Append(root, def.Get());
}

int FindAvailableRow(std::span<const OptionRow> rows, std::wstring_view name) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].available && name == rows[i].name) return static_cast<int>(i);
  return -1;
}

}  // namespace qvx::ticket
