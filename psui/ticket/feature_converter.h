// The feature converter framework: the interface the provider drives, the
// fixed conversion sequences, and the shapes every concrete converter shares.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "com_decls.h"
#include "com_ptr.h"
#include "schema_document.h"
#include "settings_record.h"
#include "xd_exception.h"

namespace qvx::ticket {

inline constexpr wchar_t kTicketRoot[] = L"PrintTicket";
inline constexpr wchar_t kCapabilitiesRoot[] = L"PrintCapabilities";

// One option of a Print Schema feature.
struct OptionRow {
  int available;
  const wchar_t* name;  // keyword without prefix
  UINT displayId;
};

// One integer ParameterDef of the capabilities document.
struct ParameterDefRow {
  const char* name;
  int isPrivate;
  int defaultValue, minValue, maxValue, multiple;
  const char* unitType;
};

// Field access into the two parts of a settings record of the given sizes.
// Offsets are record offsets (offsetof SettingsRecord); a field outside the
// part the caller handed over reads as `fallback` and is not written.
template <class T>
T ReadPrivate(const void* privatePart, ULONG privateSize, size_t recordOffset, T fallback) {
  size_t off = recordOffset - kPublicSize;
  if (!privatePart || off > privateSize || privateSize - off < sizeof(T)) return fallback;
  T v;
  std::memcpy(&v, static_cast<const BYTE*>(privatePart) + off, sizeof(T));
  return v;
}
template <class T>
void WritePrivate(void* privatePart, ULONG privateSize, size_t recordOffset, T value) {
  size_t off = recordOffset - kPublicSize;
  if (!privatePart || off > privateSize || privateSize - off < sizeof(T)) return;
  std::memcpy(static_cast<BYTE*>(privatePart) + off, &value, sizeof(T));
}
template <class T>
T ReadPublic(const void* publicPart, size_t offset) {
  T v;
  std::memcpy(&v, static_cast<const BYTE*>(publicPart) + offset, sizeof(T));
  return v;
}
template <class T>
void WritePublic(void* publicPart, size_t offset, T value) {
  std::memcpy(static_cast<BYTE*>(publicPart) + offset, &value, sizeof(T));
}

class CFeatureConverter {
 public:
  virtual ~CFeatureConverter() = default;
  virtual HRESULT TicketToSettings(HANDLE printer, IXMLDOMDocument2* ticket, ULONG publicSize,
                                   void* publicPart, ULONG privateSize, void* privatePart) = 0;
  virtual HRESULT SettingsToTicket(HANDLE printer, ULONG publicSize, void* publicPart,
                                   ULONG privateSize, void* privatePart,
                                   IXMLDOMDocument2* ticket) = 0;
  virtual HRESULT AddCapabilities(HANDLE printer, IXMLDOMDocument2* ticket,
                                  IXMLDOMDocument2* capabilities) = 0;
  virtual HRESULT ValidateTicket(HANDLE printer, IXMLDOMDocument2* ticket) = 0;
};

// Data: the feature data record; its default constructor gives the feature's
// defaults.
template <class Data>
class CFeatureConverterT : public CFeatureConverter {
 public:
  explicit CFeatureConverterT(std::wstring_view privateUri) : uri_(privateUri) {}

  HRESULT TicketToSettings(HANDLE printer, IXMLDOMDocument2* ticket, ULONG publicSize,
                           void* publicPart, ULONG privateSize, void* privatePart) final {
    return Guard([&]() -> HRESULT {
      if (!publicPart || !privatePart || !ticket) return E_POINTER;
      if (publicSize < kPublicSize || privateSize == 0) return E_INVALIDARG;
      Data data;
      HRESULT hr = ReadSettings(printer, publicPart, publicSize, privatePart, privateSize, &data);
      if (SUCCEEDED(hr)) hr = ReadTicket(ticket, &data);
      if (SUCCEEDED(hr)) hr = WriteSettings(printer, &data, publicPart, publicSize, privatePart, privateSize);
      return hr;
    });
  }

  HRESULT SettingsToTicket(HANDLE printer, ULONG publicSize, void* publicPart, ULONG privateSize,
                           void* privatePart, IXMLDOMDocument2* ticket) final {
    return Guard([&]() -> HRESULT {
      if (!publicPart || !privatePart || !ticket) return E_POINTER;
      if (publicSize < kPublicSize || privateSize == 0) return E_INVALIDARG;
      Data data;
      HRESULT hr = ReadSettings(printer, publicPart, publicSize, privatePart, privateSize, &data);
      if (SUCCEEDED(hr)) hr = WriteTicket(&data, ticket);
      return hr;
    });
  }

  // Converters that check nothing accept every ticket.
  HRESULT ValidateTicket(HANDLE printer, IXMLDOMDocument2* ticket) override {
    return ticket ? kSPtNoConflict : E_POINTER;
  }

  virtual HRESULT ReadSettings(HANDLE printer, const void* publicPart, ULONG publicSize,
                               const void* privatePart, ULONG privateSize, Data* data) = 0;
  virtual HRESULT ReadTicket(IXMLDOMDocument2* ticket, Data* data) = 0;
  virtual HRESULT WriteSettings(HANDLE printer, const Data* data, void* publicPart,
                                ULONG publicSize, void* privatePart, ULONG privateSize) = 0;
  virtual HRESULT WriteTicket(const Data* data, IXMLDOMDocument2* ticket) = 0;

  const std::wstring& PrivateUri() const { return uri_; }

 protected:
  // Checks shared by every ReadSettings and WriteSettings.
  static HRESULT CheckRead(const void* publicPart, ULONG publicSize, const void* privatePart,
                           ULONG privateSize, const Data* data) {
    if (!publicPart || !privatePart || !data) return E_POINTER;
    if (publicSize < kPublicSize || privateSize == 0) return E_INVALIDARG;
    return S_OK;
  }
  static HRESULT CheckWrite(const void* publicPart, ULONG publicSize, const void* privatePart,
                            ULONG privateSize, const Data* data) {
    if (!publicPart || !privatePart || !data) return E_POINTER;
    if (publicSize < kPublicSize || privateSize < kPrivateSize) return E_INVALIDARG;
    return S_OK;
  }

  // ReadTicket shape: open the ticket, run the reader; a missing feature is
  // not an error.
  template <class Reader>
  HRESULT ReadTicketWith(IXMLDOMDocument2* ticket, Data* data, Reader&& reader) const {
    if (!ticket || !data) return E_POINTER;
    return Guard([&]() -> HRESULT {
      CSchemaDocument doc(kTicketRoot, uri_, false, ticket);
      HRESULT hr = reader(doc, *data);
      return hr == kENotFound ? S_OK : hr;
    });
  }

  // WriteTicket shape: open the ticket, find the root, let the writer remove
  // and rebuild its elements.
  template <class Writer>
  HRESULT WriteTicketWith(const Data* data, IXMLDOMDocument2* ticket, Writer&& writer) const {
    if (!data || !ticket) return E_POINTER;
    return GuardAll([&]() -> HRESULT {
      CSchemaDocument doc(kTicketRoot, uri_, false, ticket);
      Node root;
      HRESULT hr = doc.GetRoot(root);
      if (FAILED(hr)) return hr;
      return writer(doc, root.Get(), *data);
    });
  }

  // AddCapabilities shape: building failures are not reported, only an
  // exception of the document layer is.
  template <class Builder>
  HRESULT AddCapabilitiesWith(IXMLDOMDocument2* capabilities, Builder&& builder) const {
    if (!capabilities) return E_POINTER;
    try {
      CSchemaDocument doc(kCapabilitiesRoot, uri_, false, capabilities);
      Node root;
      if (FAILED(doc.GetRoot(root))) return S_OK;
      try {
        (void)builder(doc, root);
      } catch (const CXDException&) {
        throw;
      } catch (...) {
        // other failures end the building like a failed step
      }
      return S_OK;
    } catch (const CXDException& e) {
      return e.Result();
    } catch (...) {
      return S_OK;
    }
  }

  // Overridden ValidateTicket shape: read from defaults; a value that had to
  // be replaced or a missing feature makes the writer rewrite the feature.
  template <class Reader, class Writer>
  HRESULT ValidateWith(IXMLDOMDocument2* ticket, Data& data, Reader&& reader,
                       Writer&& writer) const {
    if (!ticket) return E_POINTER;
    return Guard([&]() -> HRESULT {
      CSchemaDocument doc(kTicketRoot, uri_, false, ticket);
      HRESULT hr = reader(doc, data);
      if (hr == kSPtConflictResolved || hr == kENotFound) {
        Node root;
        if (FAILED(hr = doc.GetRoot(root))) return hr;
        if (FAILED(hr = writer(doc, root.Get(), data))) return hr;
        return kSPtConflictResolved;
      }
      return FAILED(hr) ? hr : kSPtNoConflict;
    });
  }

 private:
  std::wstring uri_;
};

// Builders shared by the converters' capabilities.

// A PickOne feature with one option per available row; `constraintOf` gives
// each row's constraint.
template <class ConstraintOf>
HRESULT BuildPickOneFeature(const CSchemaDocument& doc, IXMLDOMNode* root, bool isPrivate,
                            std::wstring_view name, UINT displayId, std::span<const OptionRow> rows,
                            ConstraintOf&& constraintOf, Element* built = nullptr) {
  std::wstring display = displayId ? LoadDisplayString(displayId, true) : std::wstring();
  Element feature;
  HRESULT hr = isPrivate ? doc.CreatePrivatePickOneFeature(name, display, feature)
                         : doc.CreatePickOneFeature(name, display, feature);
  if (FAILED(hr)) return hr;
  CNodeList options;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (!rows[i].available) continue;
    Element option;
    std::wstring optionDisplay =
        rows[i].displayId ? LoadDisplayString(rows[i].displayId, true) : std::wstring();
    hr = doc.CreateOption(isPrivate ? doc.PrivatePrefix() : doc.KeywordPrefix(), rows[i].name,
                          optionDisplay, constraintOf(i), option);
    if (FAILED(hr)) return hr;
    options.Insert(Node::Share(option.Get()));
  }
  for (const Node& option : options)
    if (FAILED(hr = CSchemaDocument::Append(feature.Get(), option.Get()))) return hr;
  if (FAILED(hr = CSchemaDocument::Append(root, feature.Get()))) return hr;
  if (built) *built = feature;
  return S_OK;
}

inline HRESULT BuildPickOneFeature(const CSchemaDocument& doc, IXMLDOMNode* root, bool isPrivate,
                                   std::wstring_view name, UINT displayId,
                                   std::span<const OptionRow> rows) {
  return BuildPickOneFeature(doc, root, isPrivate, name, displayId, rows,
                             [](size_t) { return Constraint::None; });
}

// 8-bit descriptor text in the ANSI code page, widened.
std::wstring FromAnsi(const char* text);
inline std::wstring ParameterName(const ParameterDefRow& row) { return FromAnsi(row.name); }

// The ParameterDef of a descriptor row, appended to the root.
HRESULT AppendParameterDef(const CSchemaDocument& doc, IXMLDOMNode* root,
                           const ParameterDefRow& row);

// Row of `rows` whose name equals `name` exactly and which is available.
int FindAvailableRow(std::span<const OptionRow> rows, std::wstring_view name);

}  // namespace qvx::ticket
