#include "schema_document.h"

#include "library_state.h"

#include <climits>
#include <cstdio>
#include <cwchar>
#include <stdexcept>

namespace qvx::ticket {

namespace {

bool StartsWith(std::wstring_view s, std::wstring_view p) {
  return !p.empty() && s.substr(0, p.size()) == p;
}

std::wstring IntText(int v) {
  wchar_t buf[16];
  swprintf(buf, 16, L"%i", v);
  return buf;
}

HRESULT CheckOut(IXMLDOMNode* p) { return p ? S_OK : E_FAIL; }

// Leading decimal number, blanks skipped, optional sign; saturates at the
// 32-bit range instead of wrapping.
int ParseLeadingInt(std::wstring_view t) {
  size_t i = 0;
  while (i < t.size() && (t[i] == L' ' || t[i] == L'\t' || t[i] == L'\r' || t[i] == L'\n')) ++i;
  bool negative = false;
  if (i < t.size() && (t[i] == L'+' || t[i] == L'-')) negative = t[i++] == L'-';
  long long v = 0;
  for (; i < t.size() && t[i] >= L'0' && t[i] <= L'9'; ++i) {
    v = v * 10 + (t[i] - L'0');
    if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  return static_cast<int>(v);
}

}  // namespace

// ---------------------------------------------------------------- CNodeList

void CNodeList::Insert(const Node& node) {
  if (nodes_.size() >= nodes_.max_size() / 2) throw std::length_error("vector<T> too long");
  nodes_.push_back(node);
}

// ------------------------------------------------------------- CXPathBuilder

CXPathBuilder& CXPathBuilder::Step(std::wstring_view element, std::wstring_view name) {
  q_ += L"//";
  q_ += fw_;
  q_ += element;
  q_ += L"[@name = \"";
  q_ += name;
  q_ += L"\"]";
  return *this;
}

CXPathBuilder& CXPathBuilder::Option(std::wstring_view keywordPrefix) {
  std::wstring x = q_;
  q_ = x + L"/" + fw_ + L"Option | " + x + L"/" + fw_ + L"ScoredProperty[@name = \"" +
       std::wstring(keywordPrefix) + L"OptionName\"]/" + fw_ + L"Value";
  return *this;
}

// ----------------------------------------------------------- CSchemaDocument

CSchemaDocument::CSchemaDocument(std::wstring_view rootName, std::wstring_view privateUri,
                                 bool declarePrivate, IXMLDOMDocument2* document)
    : doc_(ComPtr<IXMLDOMDocument2>::Share(document)),
      rootName_(rootName),
      privateUri_(privateUri),
      isCapabilities_(rootName == L"PrintCapabilities") {
  if (!doc_) throw CXDException(kEPending);
  Variant xpath(L"XPath");
  ThrowIfFailed(doc_->setProperty(Bstr(L"SelectionLanguage").Get(), xpath.Ref()));
  ThrowIfFailed(SetSelectionNamespaces(L"psf"));

  // The root is looked up once; every prefix is resolved against it.
  Node root;
  HRESULT hr = SelectNode(L"//psf:" + rootName_, root);
  rootFound_ = hr == S_OK;
  root_ = root;
  if (SUCCEEDED(hr)) hr = ResolvePrefix(root.Get(), kFrameworkUri, fw_, declarePrivate, L"psf");
  if (SUCCEEDED(hr)) hr = ResolvePrefix(root.Get(), kKeywordsUri, psk_, declarePrivate, L"psk");
  if (SUCCEEDED(hr)) hr = ResolvePrefix(root.Get(), kXsiUri, xsi_, declarePrivate, L"xsi");
  if (SUCCEEDED(hr)) hr = ResolvePrefix(root.Get(), kXsdUri, xsd_, declarePrivate, L"xsd");
  if (SUCCEEDED(hr)) {
    hr = ResolvePrefix(root.Get(), privateUri_, priv_, declarePrivate, nullptr);
    privateDeclared_ = hr == S_OK;
  }
  ThrowIfFailed(hr);

  if (!rootFound_) {
    // No root in the framework namespace (a damaged or foreign document):
    // keep querying with the standard prefix, which then matches nothing, so
    // the document reads as a ticket without any of the standard features.
    fw_ = L"psf:";
    return;
  }
  if (fw_.size() < 2 || fw_.back() != L':') throw CXDException(E_FAIL);
  ThrowIfFailed(SetSelectionNamespaces(std::wstring_view(fw_).substr(0, fw_.size() - 1)));
}

HRESULT CSchemaDocument::SetSelectionNamespaces(std::wstring_view prefix) {
  std::wstring text = L"xmlns:" + std::wstring(prefix) + L"='" + kFrameworkUri + L"'";
  Variant v(text);
  return doc_->setProperty(Bstr(L"SelectionNamespaces").Get(), v.Ref());
}

HRESULT CSchemaDocument::ResolvePrefix(IXMLDOMNode* root, std::wstring_view uri,
                                       std::wstring& prefix, bool declare,
                                       const wchar_t* preferred) {
  prefix.clear();
  if (!root) return S_FALSE;  // nothing to resolve against or declare on
  HRESULT hr;

  ComPtr<IXMLDOMNamedNodeMap> attrs;
  hr = root->get_attributes(attrs.Put());
  if (FAILED(hr) || !attrs) return FAILED(hr) ? hr : E_FAIL;
  long count = 0;
  if (FAILED(hr = attrs->get_length(&count))) return hr;

  // Namespace declarations are not reachable by name in every DOM, so the map
  // is walked.
  std::vector<std::wstring> names;
  for (long i = 0; i < count; ++i) {
    Node attr;
    if (FAILED(hr = attrs->get_item(i, attr.Put())) || !attr) return FAILED(hr) ? hr : E_FAIL;
    Bstr name;
    if (FAILED(hr = attr->get_nodeName(name.Put()))) return hr;
    Variant value;
    if (FAILED(hr = attr->get_nodeValue(value.Put()))) return hr;
    std::wstring text;
    if (FAILED(value.ToText(text))) text.clear();
    if (text == uri) {
      std::wstring_view n = name.View();
      if (n.size() <= 6 || n.substr(0, 6) != L"xmlns:") return E_FAIL;
      prefix = std::wstring(n.substr(6)) + L":";
      return S_OK;
    }
    names.push_back(name.Str());
  }
  if (!declare) return S_FALSE;

  auto taken = [&](const std::wstring& n) {
    for (const auto& x : names)
      if (x == n) return true;
    return false;
  };
  std::wstring p;
  // A preferred prefix already bound to another namespace is left alone.
  if (preferred && !taken(std::wstring(L"xmlns:") + preferred)) {
    p = preferred;
  } else {
    for (int k = 1; k <= 9999; ++k) {
      wchar_t buf[16];
      swprintf(buf, 16, L"ns%04d", k);
      if (!taken(std::wstring(L"xmlns:") + buf)) {
        p = buf;
        break;
      }
    }
    if (p.empty()) return E_FAIL;
  }
  Element rootElement;
  if (FAILED(hr = root->QueryInterface(kIidXmlDomElement, reinterpret_cast<void**>(rootElement.Put()))))
    return hr;
  Variant value(uri);
  if (FAILED(hr = rootElement->setAttribute(Bstr(L"xmlns:" + p).Get(), value.Ref()))) return hr;
  prefix = p + L":";
  return S_OK;
}

HRESULT CSchemaDocument::GetRoot(Node& node) const {
  node = root_;
  return node ? S_OK : kENotFound;
}

HRESULT CSchemaDocument::SelectNode(std::wstring_view xpath, Node& node) const {
  node.Reset();
  if (!doc_) return kEPending;
  if (xpath.empty()) return E_INVALIDARG;
  HRESULT hr = doc_->selectSingleNode(Bstr(xpath).Get(), node.Put());
  if (FAILED(hr)) return hr;
  return node ? S_OK : S_FALSE;
}

HRESULT CSchemaDocument::SelectNodes(std::wstring_view xpath, CNodeList& list) const {
  list.Clear();
  if (!doc_) return kEPending;
  if (xpath.empty()) return E_FAIL;
  ComPtr<IXMLDOMNodeList> nodes;
  HRESULT hr = doc_->selectNodes(Bstr(xpath).Get(), nodes.Put());
  if (FAILED(hr)) return hr;
  if (!nodes) return E_FAIL;
  long count = 0;
  if (FAILED(hr = nodes->get_length(&count))) return hr;
  for (long i = 0; i < count; ++i) {
    Node n;
    if (FAILED(hr = nodes->get_item(i, n.Put()))) return hr;
    if (n) list.Insert(n);
  }
  return S_OK;
}

HRESULT CSchemaDocument::NodeExists(std::wstring_view xpath) const {
  if (xpath.empty()) return kENotFound;
  Node n;
  HRESULT hr = SelectNode(xpath, n);
  if (FAILED(hr)) return hr;
  return hr == S_OK ? S_OK : kENotFound;
}

HRESULT CSchemaDocument::GetAttribute(IXMLDOMNode* node, std::wstring_view name,
                                      std::wstring& text) {
  text.clear();
  if (!node) return E_POINTER;
  if (name.empty()) return E_INVALIDARG;
  ComPtr<IXMLDOMNamedNodeMap> attrs;
  HRESULT hr = node->get_attributes(attrs.Put());
  if (FAILED(hr)) return hr;
  if (!attrs) return S_FALSE;
  Node attr;
  hr = attrs->getNamedItem(Bstr(name).Get(), attr.Put());
  if (FAILED(hr)) return hr;
  if (!attr) return S_FALSE;
  Variant value;
  if (FAILED(hr = attr->get_nodeValue(value.Put()))) return hr;
  return value.ToText(text);
}

HRESULT CSchemaDocument::NodeText(IXMLDOMNode* node, std::wstring& text) const {
  Variant v;
  HRESULT hr = node->get_nodeTypedValue(v.Put());
  if (SUCCEEDED(hr) && SUCCEEDED(v.ToText(text))) return S_OK;
  Bstr b;
  if (FAILED(hr = node->get_text(b.Put()))) return hr;
  text = b.Str();
  return S_OK;
}

HRESULT CSchemaDocument::GetValueText(std::wstring_view xpath, std::wstring& text) const {
  text.clear();
  Node node;
  HRESULT hr = SelectNode(xpath, node);
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) return kENotFound;

  Node value;
  if (FAILED(hr = node->selectSingleNode(Bstr(fw_ + L"Value").Get(), value.Put()))) return hr;
  if (value) return NodeText(value.Get(), text);

  Node ref;
  if (FAILED(hr = node->selectSingleNode(Bstr(fw_ + L"ParameterRef").Get(), ref.Put()))) return hr;
  if (!ref) return kENotFound;
  std::wstring refName;
  if (FAILED(hr = GetAttribute(ref.Get(), L"name", refName))) return hr;
  if (hr == S_FALSE) return kENotFound;
  CNodeList inits;
  if (FAILED(hr = SelectNodes(L"//" + fw_ + L"ParameterInit", inits))) return hr;
  for (const Node& init : inits) {
    std::wstring name;
    if (GetAttribute(init.Get(), L"name", name) != S_OK || name != refName) continue;
    Node initValue;
    if (FAILED(hr = init->selectSingleNode(Bstr(fw_ + L"Value").Get(), initValue.Put()))) return hr;
    return NodeText(initValue ? initValue.Get() : init.Get(), text);
  }
  return kENotFound;
}

HRESULT CSchemaDocument::GetIntegerValue(std::wstring_view xpath, int& value) const {
  std::wstring text;
  HRESULT hr = GetValueText(xpath, text);
  if (FAILED(hr)) return hr;
  value = ParseLeadingInt(text);
  return S_OK;
}

std::wstring CSchemaDocument::Qualified(std::wstring_view prefix, std::wstring_view name) const {
  if (prefix.empty() || name.empty()) return {};
  return std::wstring(prefix) + std::wstring(name);
}

std::wstring CSchemaDocument::FeatureQuery(std::wstring_view prefix, std::wstring_view name) const {
  std::wstring q = Qualified(prefix, name);
  return q.empty() ? q : CXPathBuilder(fw_).Feature(q).Get();
}

std::wstring CSchemaDocument::PropertyQuery(std::wstring_view prefix, std::wstring_view name) const {
  std::wstring q = Qualified(prefix, name);
  return q.empty() ? q : CXPathBuilder(fw_).Property(q).Get();
}

std::wstring CSchemaDocument::ParameterInitQuery(std::wstring_view prefix,
                                                 std::wstring_view name) const {
  std::wstring q = Qualified(prefix, name);
  return q.empty() ? q : CXPathBuilder(fw_).ParameterInit(q).Get();
}

HRESULT CSchemaDocument::FeatureExists(std::wstring_view name) const {
  return NodeExists(FeatureQuery(psk_, name));
}

HRESULT CSchemaDocument::OptionFromQuery(const std::wstring& query, bool requireName,
                                         std::wstring& option, bool* isPrivate) const {
  option.clear();
  if (isPrivate) *isPrivate = false;
  if (query.empty()) return kENotFound;
  Node node;
  HRESULT hr = SelectNode(query, node);
  if (FAILED(hr)) return hr;
  if (hr == S_FALSE) return kENotFound;
  std::wstring name;
  if (FAILED(hr = GetAttribute(node.Get(), L"name", name))) return hr;
  if (hr == S_FALSE) {
    if (requireName) return kENotFound;
    if (FAILED(hr = NodeText(node.Get(), name))) return hr;
  }
  option = StripPrefix(name, isPrivate);
  return S_OK;
}

HRESULT CSchemaDocument::GetFeatureOption(std::wstring_view featurePrefix,
                                          std::wstring_view featureName, std::wstring& option,
                                          bool* isPrivate) const {
  std::wstring f = Qualified(featurePrefix, featureName);
  std::wstring q = f.empty() ? f : CXPathBuilder(fw_).Feature(f).Option(psk_).Get();
  return OptionFromQuery(q, false, option, isPrivate);
}

HRESULT CSchemaDocument::GetSubFeatureOption(std::wstring_view prefix,
                                             std::wstring_view featureName,
                                             std::wstring_view subPrefix,
                                             std::wstring_view subFeatureName,
                                             std::wstring& option, bool* isPrivate) const {
  std::wstring f = Qualified(prefix, featureName);
  std::wstring s = Qualified(subPrefix, subFeatureName);
  std::wstring q;
  if (!f.empty() && !s.empty()) q = CXPathBuilder(fw_).Feature(f).Feature(s).Option(psk_).Get();
  return OptionFromQuery(q, true, option, isPrivate);
}

HRESULT CSchemaDocument::GetScoredPropertyValue(std::wstring_view featureName,
                                                std::wstring_view propertyName,
                                                std::wstring& text) const {
  text.clear();
  std::wstring f = Qualified(psk_, featureName);
  std::wstring p = Qualified(psk_, propertyName);
  if (f.empty() || p.empty()) return kENotFound;
  return GetValueText(CXPathBuilder(fw_).Feature(f).ScoredProperty(p).Get(), text);
}

HRESULT CSchemaDocument::GetScoredPropertyInteger(std::wstring_view featureName,
                                                  std::wstring_view propertyName,
                                                  int& value) const {
  std::wstring text;
  HRESULT hr = GetScoredPropertyValue(featureName, propertyName, text);
  if (FAILED(hr)) return hr;
  value = ParseLeadingInt(text);
  return S_OK;
}

std::wstring CSchemaDocument::StripPrefix(std::wstring_view name, bool* isPrivate) const {
  if (isPrivate) {
    *isPrivate = false;
    if (StartsWith(name, priv_)) {
      *isPrivate = true;
      return std::wstring(name.substr(priv_.size()));
    }
  }
  if (StartsWith(name, psk_)) return std::wstring(name.substr(psk_.size()));
  return std::wstring(name);
}

// ------------------------------------------------------------------ removal

HRESULT CSchemaDocument::RemoveNode(IXMLDOMNode* node) {
  if (!node) return E_POINTER;
  Node parent;
  HRESULT hr = node->get_parentNode(parent.Put());
  if (FAILED(hr)) return hr;
  if (!parent) return S_FALSE;
  Node removed;
  if (FAILED(hr = parent->removeChild(node, removed.Put()))) return hr;
  return removed ? S_OK : E_FAIL;
}

HRESULT CSchemaDocument::RemoveFeatureIn(std::wstring_view prefix, std::wstring_view name) {
  const std::wstring query = FeatureQuery(prefix, name);
  if (query.empty()) return S_FALSE;
  HRESULT hr;
  for (;;) {
    Node feature;
    if (FAILED(hr = SelectNode(query, feature))) return hr;
    if (hr == S_FALSE) return S_OK;
    CNodeList inits, refs;
    if (FAILED(hr = SelectNodes(query + L"//" + fw_ + L"ParameterRef", refs))) return hr;
    if (refs.Size() && FAILED(hr = SelectNodes(L"//" + fw_ + L"ParameterInit", inits))) return hr;
    std::vector<std::wstring> refNames;
    for (const Node& ref : refs) {
      std::wstring n;
      if (GetAttribute(ref.Get(), L"name", n) == S_OK) refNames.push_back(n);
    }
    for (const Node& init : inits) {
      std::wstring n;
      if (GetAttribute(init.Get(), L"name", n) != S_OK) continue;
      for (const auto& r : refNames) {
        if (r == n) {
          if (FAILED(hr = RemoveNode(init.Get()))) return hr;
          break;
        }
      }
    }
    // A feature that cannot be detached would be found again forever.
    if ((hr = RemoveNode(feature.Get())) != S_OK) return FAILED(hr) ? hr : E_FAIL;
  }
}

HRESULT CSchemaDocument::RemovePrivateProperty(std::wstring_view name) {
  const std::wstring query = PropertyQuery(priv_, name);
  if (query.empty()) return S_FALSE;
  Node node;
  HRESULT hr = SelectNode(query, node);
  if (hr != S_OK) return hr;
  return RemoveNode(node.Get());
}

HRESULT CSchemaDocument::RemoveInitIn(std::wstring_view prefix, std::wstring_view name) {
  const std::wstring query = ParameterInitQuery(prefix, name);
  if (query.empty()) return S_FALSE;
  Node node;
  HRESULT hr = SelectNode(query, node);
  if (hr != S_OK) return hr;
  return RemoveNode(node.Get());
}

// ----------------------------------------------------------------- builders

HRESULT CSchemaDocument::Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
  if (!parent || !child) return E_POINTER;
  Node added;
  HRESULT hr = parent->appendChild(child, added.Put());
  if (FAILED(hr)) return hr;
  return CheckOut(added.Get());
}

HRESULT CSchemaDocument::CreateElement(std::wstring_view localName, Element& element) const {
  element.Reset();
  if (localName.empty()) return E_INVALIDARG;
  if (fw_.empty()) return E_FAIL;
  VARIANT type;
  VariantInit(&type);
  type.vt = VT_I4;
  type.lVal = NODE_ELEMENT;
  Node node;
  HRESULT hr = doc_->createNode(type, Bstr(fw_ + std::wstring(localName)).Get(),
                                Bstr(kFrameworkUri).Get(), node.Put());
  if (FAILED(hr)) return hr;
  if (!node) return E_FAIL;
  return node.As(kIidXmlDomElement, element);
}

HRESULT CSchemaDocument::SetAttribute(IXMLDOMElement* element, std::wstring_view name,
                                      const wchar_t* namespaceUri, std::wstring_view value) const {
  if (!element || name.empty() || value.empty()) return E_INVALIDARG;
  VARIANT type;
  VariantInit(&type);
  type.vt = VT_I4;
  type.lVal = NODE_ATTRIBUTE;
  Node node;
  HRESULT hr = doc_->createNode(type, Bstr(name).Get(), Bstr(namespaceUri ? namespaceUri : L"").Get(),
                                node.Put());
  if (FAILED(hr)) return hr;
  if (!node) return E_FAIL;
  Variant v(value);
  if (FAILED(hr = node->put_nodeValue(v.Ref()))) return hr;
  ComPtr<IXMLDOMAttribute> attr;
  if (FAILED(hr = node.As(IID_IXMLDOMAttribute, attr))) return hr;
  ComPtr<IXMLDOMAttribute> replaced;
  return element->setAttributeNode(attr.Get(), replaced.Put());
}

HRESULT CSchemaDocument::CreateValue(std::wstring_view xsdType, std::wstring_view text,
                                     Element& value) const {
  if (xsi_.empty() || xsd_.empty()) return E_FAIL;
  HRESULT hr = CreateElement(L"Value", value);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = SetAttribute(value.Get(), xsi_ + L"type", kXsiUri, xsd_ + std::wstring(xsdType))))
    return hr;
  return value->put_text(Bstr(text).Get());
}

HRESULT CSchemaDocument::AddDisplayName(IXMLDOMElement* parent,
                                        std::wstring_view displayName) const {
  if (displayName.empty()) return S_OK;
  Element p;
  HRESULT hr = CreateValueProperty(psk_, L"DisplayName", L"string", displayName, p);
  if (FAILED(hr)) return hr;
  return Append(parent, p.Get());
}

HRESULT CSchemaDocument::CreateNamed(std::wstring_view localName, std::wstring_view prefix,
                                     std::wstring_view name, Element& element) const {
  element.Reset();
  std::wstring q = Qualified(prefix, name);
  if (q.empty()) return name.empty() ? E_INVALIDARG : E_FAIL;
  HRESULT hr = CreateElement(localName, element);
  if (FAILED(hr)) return hr;
  return SetAttribute(element.Get(), L"name", nullptr, q);
}

HRESULT CSchemaDocument::CreateFeature(std::wstring_view prefix, std::wstring_view name,
                                       std::wstring_view displayName, Element& feature) const {
  HRESULT hr = CreateNamed(L"Feature", prefix, name, feature);
  if (FAILED(hr)) return hr;
  return AddDisplayName(feature.Get(), displayName);
}

HRESULT CSchemaDocument::CreatePickOneFeature(std::wstring_view name, std::wstring_view displayName,
                                              Element& feature) const {
  HRESULT hr = CreateFeature(psk_, name, displayName, feature);
  Element selection;
  if (SUCCEEDED(hr)) hr = CreateFrameworkValueProperty(L"SelectionType", L"QName", psk_ + L"PickOne", selection);
  if (SUCCEEDED(hr)) hr = Append(feature, selection);
  return hr;
}

HRESULT CSchemaDocument::CreatePrivatePickOneFeature(std::wstring_view name,
                                                     std::wstring_view displayName,
                                                     Element& feature) const {
  HRESULT hr = CreateFeature(priv_, name, displayName, feature);
  Element selection;
  if (SUCCEEDED(hr)) hr = CreateFrameworkValueProperty(L"SelectionType", L"QName", psk_ + L"PickOne", selection);
  if (SUCCEEDED(hr)) hr = Append(feature, selection);
  return hr;
}

HRESULT CSchemaDocument::CreateFeatureAndOption(bool isPrivate, std::wstring_view featureName,
                                                Element& feature, Element& option) const {
  HRESULT hr = CreateFeature(isPrivate ? priv_ : psk_, featureName, L"", feature);
  if (SUCCEEDED(hr)) hr = CreateElement(L"Option", option);
  if (SUCCEEDED(hr)) hr = Append(feature, option);
  return hr;
}

HRESULT CSchemaDocument::CreateFeatureWithOption(bool isPrivateFeature,
                                                 std::wstring_view featureName,
                                                 bool isPrivateOption,
                                                 std::wstring_view optionName, Element& feature,
                                                 Element& option) const {
  std::wstring q = Qualified(isPrivateOption ? priv_ : psk_, optionName);
  if (q.empty()) return optionName.empty() ? E_INVALIDARG : E_FAIL;
  HRESULT hr = CreateFeatureAndOption(isPrivateFeature, featureName, feature, option);
  if (FAILED(hr)) return hr;
  Variant v(q);
  return option->setAttribute(Bstr(L"name").Get(), v.Ref());
}

HRESULT CSchemaDocument::CreateOption(std::wstring_view prefix, std::wstring_view name,
                                      std::wstring_view displayName, Constraint constraint,
                                      Element& option) const {
  HRESULT hr = CreateElement(L"Option", option);
  if (FAILED(hr)) return hr;
  if (!name.empty()) {
    std::wstring q = Qualified(prefix, name);
    if (q.empty()) return E_FAIL;
    if (FAILED(hr = SetAttribute(option.Get(), L"name", nullptr, q))) return hr;
  }
  if (isCapabilities_) {
    static const wchar_t* const kConstraints[] = {L"None", L"PrintTicketSettings",
                                                  L"AdminSettings", L"DeviceSettings"};
    int c = static_cast<int>(constraint);
    if (c < 0 || c > 3) return E_INVALIDARG;
    if (FAILED(hr = SetAttribute(option.Get(), L"constrained", nullptr, psk_ + kConstraints[c])))
      return hr;
  }
  return AddDisplayName(option.Get(), displayName);
}

HRESULT CSchemaDocument::CreateProperty(std::wstring_view prefix, std::wstring_view name,
                                        Element& property) const {
  return CreateNamed(L"Property", prefix, name, property);
}

HRESULT CSchemaDocument::CreateValueProperty(std::wstring_view prefix, std::wstring_view name,
                                             std::wstring_view xsdType,
                                             std::wstring_view valueText,
                                             Element& property) const {
  HRESULT hr = CreateProperty(prefix, name, property);
  Element value;
  if (SUCCEEDED(hr)) hr = CreateValue(xsdType, valueText, value);
  if (SUCCEEDED(hr)) hr = Append(property, value);
  return hr;
}

HRESULT CSchemaDocument::CreateIntegerProperty(std::wstring_view prefix, std::wstring_view name,
                                               int value, Element& property) const {
  return CreateValueProperty(prefix, name, L"integer", IntText(value), property);
}

HRESULT CSchemaDocument::CreateScoredProperty(std::wstring_view prefix, std::wstring_view name,
                                              Element& sp) const {
  return CreateNamed(L"ScoredProperty", prefix, name, sp);
}

HRESULT CSchemaDocument::CreateValueScoredProperty(std::wstring_view prefix,
                                                   std::wstring_view name,
                                                   std::wstring_view xsdType,
                                                   std::wstring_view valueText,
                                                   Element& sp) const {
  HRESULT hr = CreateScoredProperty(prefix, name, sp);
  Element value;
  if (SUCCEEDED(hr)) hr = CreateValue(xsdType, valueText, value);
  if (SUCCEEDED(hr)) hr = Append(sp, value);
  return hr;
}

HRESULT CSchemaDocument::CreateIntegerScoredProperty(std::wstring_view prefix,
                                                     std::wstring_view name, int value,
                                                     Element& sp) const {
  return CreateValueScoredProperty(prefix, name, L"integer", IntText(value), sp);
}

HRESULT CSchemaDocument::AppendScoredProperty(std::wstring_view prefix, std::wstring_view name,
                                              IXMLDOMNode* parent, Element& sp) const {
  HRESULT hr = CreateScoredProperty(prefix, name, sp);
  if (SUCCEEDED(hr)) hr = Append(parent, sp.Get());
  return hr;
}

HRESULT CSchemaDocument::CreateParameterRef(std::wstring_view name, bool isPrivate,
                                            Element& ref) const {
  return CreateNamed(L"ParameterRef", isPrivate ? priv_ : psk_, name, ref);
}

HRESULT CSchemaDocument::CreateParameterInit(std::wstring_view prefix, std::wstring_view name,
                                             std::wstring_view xsdType,
                                             std::wstring_view valueText, Element* ref,
                                             Element& init) const {
  HRESULT hr = CreateNamed(L"ParameterInit", prefix, name, init);
  Element value;
  if (SUCCEEDED(hr)) hr = CreateValue(xsdType, valueText, value);
  if (SUCCEEDED(hr)) hr = Append(init, value);
  if (SUCCEEDED(hr) && ref) hr = CreateNamed(L"ParameterRef", prefix, name, *ref);
  return hr;
}

HRESULT CSchemaDocument::CreateIntegerParameterInit(std::wstring_view name, int value,
                                                    Element* ref, Element& init) const {
  return CreateParameterInit(psk_, name, L"integer", IntText(value), ref, init);
}

HRESULT CSchemaDocument::CreatePrivateIntegerParameterInit(std::wstring_view name, int value,
                                                           Element& init) const {
  return CreateParameterInit(priv_, name, L"integer", IntText(value), nullptr, init);
}

HRESULT CSchemaDocument::CreateParameterDef(
    std::wstring_view name, bool isPrivate, std::wstring_view displayName,
    const std::vector<ParameterDefChild>& children, Element& def) const {
  HRESULT hr = CreateNamed(L"ParameterDef", isPrivate ? priv_ : psk_, name, def);
  for (const auto& [property, type, text] : children) {
    Element p;
    if (SUCCEEDED(hr)) hr = CreateFrameworkValueProperty(property, type, text, p);
    if (SUCCEEDED(hr)) hr = Append(def, p);
  }
  if (SUCCEEDED(hr)) hr = AddDisplayName(def.Get(), displayName);
  return hr;
}

HRESULT CSchemaDocument::CreateIntegerParameterDef(std::wstring_view name, bool isPrivate,
                                                   std::wstring_view displayName,
                                                   int defaultValue, int minValue, int maxValue,
                                                   int multiple, std::wstring_view unitType,
                                                   Element& def) const {
  std::vector<ParameterDefChild> children = {
      {L"DataType", L"QName", xsd_ + L"integer"},
      {L"DefaultValue", L"string", IntText(defaultValue)},
      {L"MaxValue", L"integer", IntText(maxValue)},
      {L"MinValue", L"integer", IntText(minValue)},
      {L"Mandatory", L"QName", psk_ + L"Conditional"},
      {L"UnitType", L"string", std::wstring(unitType)}};
  if (multiple >= 1) children.emplace_back(L"Multiple", L"integer", IntText(multiple));
  return CreateParameterDef(name, isPrivate, displayName, children, def);
}

HRESULT CSchemaDocument::CreateStringParameterDef(std::wstring_view name, bool isPrivate,
                                                  std::wstring_view displayName,
                                                  std::wstring_view defaultText, int minLength,
                                                  int maxLength, std::wstring_view unitType,
                                                  Element& def) const {
  return CreateParameterDef(name, isPrivate, displayName,
                            {{L"DataType", L"QName", xsd_ + L"string"},
                             {L"DefaultValue", L"string", std::wstring(defaultText)},
                             {L"MaxLength", L"integer", IntText(maxLength)},
                             {L"MinLength", L"integer", IntText(minLength)},
                             {L"Mandatory", L"QName", psk_ + L"Conditional"},
                             {L"UnitType", L"string", std::wstring(unitType)}},
                            def);
}

// ------------------------------------------------------------------ strings

std::wstring LoadDisplayString(UINT id, bool stripMnemonic) {
  HINSTANCE lang = core::win::LanguageLibrary();
  if (!lang) return {};
  wchar_t buf[1024];
  int n = LoadStringW(lang, id, buf, 1024);
  if (n <= 0) return {};
  std::wstring text(buf, static_cast<size_t>(n));
  if (!stripMnemonic) return text;
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'\r' || c == L'\n') continue;
    if (c == L'&' && !(i + 1 < text.size() && text[i + 1] == L' ')) continue;
    out.push_back(c);
  }
  return out;
}

}  // namespace qvx::ticket
