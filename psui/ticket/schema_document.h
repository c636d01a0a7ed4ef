// The schema document layer: one wrapper per ticket or capabilities document,
// which learns the prefixes the document uses and offers the lookups, removals
// and builders the feature converters are written with.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <string>
#include <tuple>
#include <string_view>
#include <vector>

#include "com_decls.h"
#include "com_ptr.h"
#include "xd_exception.h"

namespace qvx::ticket {

using Node = ComPtr<IXMLDOMNode>;
using Element = ComPtr<IXMLDOMElement>;

// A list of node references; each held node keeps one reference.
class CNodeList {
 public:
  void Insert(const Node& node);
  void Clear() { nodes_.clear(); }
  size_t Size() const { return nodes_.size(); }
  const Node& operator[](size_t i) const { return nodes_[i]; }
  auto begin() const { return nodes_.begin(); }
  auto end() const { return nodes_.end(); }

 private:
  std::vector<Node> nodes_;
};

// Accumulates an XPath query step by step.
class CXPathBuilder {
 public:
  explicit CXPathBuilder(std::wstring_view frameworkPrefix) : fw_(frameworkPrefix) {}
  CXPathBuilder& Feature(std::wstring_view qualifiedName) { return Step(L"Feature", qualifiedName); }
  CXPathBuilder& Property(std::wstring_view qualifiedName) { return Step(L"Property", qualifiedName); }
  CXPathBuilder& ScoredProperty(std::wstring_view qualifiedName) {
    return Step(L"ScoredProperty", qualifiedName);
  }
  CXPathBuilder& ParameterInit(std::wstring_view qualifiedName) {
    return Step(L"ParameterInit", qualifiedName);
  }
  // The feature's Option, or the Value of a psk:OptionName ScoredProperty
  // directly under the feature.
  CXPathBuilder& Option(std::wstring_view keywordPrefix);
  CXPathBuilder& Append(std::wstring_view raw) {
    q_.append(raw);
    return *this;
  }
  std::wstring Get() const { return q_; }

 private:
  CXPathBuilder& Step(std::wstring_view element, std::wstring_view name);
  std::wstring fw_;
  std::wstring q_;
};

// Constraint values of capabilities options.
enum class Constraint { None = 0, PrintTicketSettings = 1, AdminSettings = 2, DeviceSettings = 3 };

class CSchemaDocument {
 public:
  // Throws CXDException when the document is null or its framework prefix is
  // unusable.
  CSchemaDocument(std::wstring_view rootName, std::wstring_view privateUri, bool declarePrivate,
                  IXMLDOMDocument2* document);
  CSchemaDocument(const CSchemaDocument&) = delete;
  CSchemaDocument& operator=(const CSchemaDocument&) = delete;

  // Prefixes with their colon; empty when the document does not declare the
  // namespace.
  const std::wstring& FrameworkPrefix() const { return fw_; }
  const std::wstring& KeywordPrefix() const { return psk_; }
  const std::wstring& PrivatePrefix() const { return priv_; }
  const std::wstring& XsiPrefix() const { return xsi_; }
  const std::wstring& XsdPrefix() const { return xsd_; }
  bool PrivateDeclared() const { return privateDeclared_; }
  bool IsCapabilities() const { return isCapabilities_; }
  IXMLDOMDocument2* Document() const { return doc_.Get(); }

  // Lookups.
  HRESULT GetRoot(Node& node) const;  // ERROR_NOT_FOUND when the root is missing
  HRESULT SelectNode(std::wstring_view xpath, Node& node) const;  // S_FALSE: no match
  HRESULT SelectNodes(std::wstring_view xpath, CNodeList& list) const;
  HRESULT NodeExists(std::wstring_view xpath) const;
  static HRESULT GetAttribute(IXMLDOMNode* node, std::wstring_view name, std::wstring& text);
  HRESULT GetValueText(std::wstring_view xpath, std::wstring& text) const;
  HRESULT GetIntegerValue(std::wstring_view xpath, int& value) const;
  HRESULT FeatureExists(std::wstring_view name) const;
  HRESULT GetFeatureOption(std::wstring_view featurePrefix, std::wstring_view featureName,
                           std::wstring& option, bool* isPrivate) const;
  HRESULT GetSubFeatureOption(std::wstring_view prefix, std::wstring_view featureName,
                              std::wstring_view subPrefix, std::wstring_view subFeatureName,
                              std::wstring& option, bool* isPrivate) const;
  HRESULT GetScoredPropertyValue(std::wstring_view featureName, std::wstring_view propertyName,
                                 std::wstring& text) const;
  HRESULT GetScoredPropertyInteger(std::wstring_view featureName, std::wstring_view propertyName,
                                   int& value) const;
  // Drops a leading private prefix (when isPrivate is asked for) or a leading
  // public keyword prefix.
  std::wstring StripPrefix(std::wstring_view name, bool* isPrivate) const;

  // Queries naming a keyword with its prefix; empty when the prefix is unknown
  // (such a lookup finds nothing).
  std::wstring Qualified(std::wstring_view prefix, std::wstring_view name) const;
  std::wstring FeatureQuery(std::wstring_view prefix, std::wstring_view name) const;
  std::wstring PropertyQuery(std::wstring_view prefix, std::wstring_view name) const;
  std::wstring ParameterInitQuery(std::wstring_view prefix, std::wstring_view name) const;

  // Removal.
  static HRESULT RemoveNode(IXMLDOMNode* node);
  HRESULT RemoveFeature(std::wstring_view name) { return RemoveFeatureIn(psk_, name); }
  HRESULT RemovePrivateFeature(std::wstring_view name) { return RemoveFeatureIn(priv_, name); }
  HRESULT RemovePrivateProperty(std::wstring_view name);
  HRESULT RemoveParameterInit(std::wstring_view name) { return RemoveInitIn(psk_, name); }
  HRESULT RemovePrivateParameterInit(std::wstring_view name) { return RemoveInitIn(priv_, name); }

  // Builders: the new element carries one reference and is not attached
  // unless said.
  HRESULT CreateElement(std::wstring_view localName, Element& element) const;
  HRESULT SetAttribute(IXMLDOMElement* element, std::wstring_view name, const wchar_t* namespaceUri,
                       std::wstring_view value) const;
  HRESULT CreateFeature(std::wstring_view prefix, std::wstring_view name,
                        std::wstring_view displayName, Element& feature) const;
  HRESULT CreatePickOneFeature(std::wstring_view name, std::wstring_view displayName,
                               Element& feature) const;
  HRESULT CreatePrivatePickOneFeature(std::wstring_view name, std::wstring_view displayName,
                                      Element& feature) const;
  HRESULT CreateFeatureAndOption(bool isPrivate, std::wstring_view featureName, Element& feature,
                                 Element& option) const;
  HRESULT CreateFeatureWithOption(bool isPrivateFeature, std::wstring_view featureName,
                                  bool isPrivateOption, std::wstring_view optionName,
                                  Element& feature, Element& option) const;
  HRESULT CreateOption(std::wstring_view prefix, std::wstring_view name,
                       std::wstring_view displayName, Constraint constraint, Element& option) const;
  HRESULT CreatePublicOption(std::wstring_view name, std::wstring_view displayName,
                             Constraint constraint, Element& option) const {
    return CreateOption(psk_, name, displayName, constraint, option);
  }
  HRESULT CreatePrivateOption(std::wstring_view name, std::wstring_view displayName,
                              Constraint constraint, Element& option) const {
    return CreateOption(priv_, name, displayName, constraint, option);
  }
  HRESULT CreateProperty(std::wstring_view prefix, std::wstring_view name, Element& property) const;
  HRESULT CreateValueProperty(std::wstring_view prefix, std::wstring_view name,
                              std::wstring_view xsdType, std::wstring_view valueText,
                              Element& property) const;
  HRESULT CreateIntegerProperty(std::wstring_view prefix, std::wstring_view name, int value,
                                Element& property) const;
  HRESULT CreateFrameworkProperty(std::wstring_view name, Element& property) const {
    return CreateProperty(fw_, name, property);
  }
  HRESULT CreateFrameworkValueProperty(std::wstring_view name, std::wstring_view xsdType,
                                       std::wstring_view valueText, Element& property) const {
    return CreateValueProperty(fw_, name, xsdType, valueText, property);
  }
  HRESULT CreateScoredProperty(std::wstring_view prefix, std::wstring_view name,
                               Element& sp) const;
  HRESULT CreateValueScoredProperty(std::wstring_view prefix, std::wstring_view name,
                                    std::wstring_view xsdType, std::wstring_view valueText,
                                    Element& sp) const;
  HRESULT CreateStringScoredProperty(std::wstring_view prefix, std::wstring_view name,
                                     std::wstring_view valueText, Element& sp) const {
    return CreateValueScoredProperty(prefix, name, L"string", valueText, sp);
  }
  HRESULT CreateIntegerScoredProperty(std::wstring_view prefix, std::wstring_view name, int value,
                                      Element& sp) const;
  HRESULT AppendScoredProperty(std::wstring_view prefix, std::wstring_view name,
                               IXMLDOMNode* parent, Element& sp) const;
  HRESULT CreateParameterInit(std::wstring_view prefix, std::wstring_view name,
                              std::wstring_view xsdType, std::wstring_view valueText, Element* ref,
                              Element& init) const;
  HRESULT CreateIntegerParameterInit(std::wstring_view name, int value, Element* ref,
                                     Element& init) const;
  HRESULT CreatePrivateIntegerParameterInit(std::wstring_view name, int value,
                                            Element& init) const;
  HRESULT CreateParameterRef(std::wstring_view name, bool isPrivate, Element& ref) const;
  HRESULT CreateIntegerParameterDef(std::wstring_view name, bool isPrivate,
                                    std::wstring_view displayName, int defaultValue, int minValue,
                                    int maxValue, int multiple, std::wstring_view unitType,
                                    Element& def) const;
  HRESULT CreateStringParameterDef(std::wstring_view name, bool isPrivate,
                                   std::wstring_view displayName, std::wstring_view defaultText,
                                   int minLength, int maxLength, std::wstring_view unitType,
                                   Element& def) const;

  // Appends child to parent.
  static HRESULT Append(IXMLDOMNode* parent, IXMLDOMNode* child);
  template <class P, class C>
  static HRESULT Append(const ComPtr<P>& parent, const ComPtr<C>& child) {
    return Append(static_cast<IXMLDOMNode*>(parent.Get()), static_cast<IXMLDOMNode*>(child.Get()));
  }

 private:
  HRESULT ResolvePrefix(IXMLDOMNode* root, std::wstring_view uri, std::wstring& prefix,
                        bool declare, const wchar_t* preferred);
  HRESULT SetSelectionNamespaces(std::wstring_view prefix);
  HRESULT RemoveFeatureIn(std::wstring_view prefix, std::wstring_view name);
  HRESULT RemoveInitIn(std::wstring_view prefix, std::wstring_view name);
  // An element with a "name" attribute of prefix + name.
  HRESULT CreateNamed(std::wstring_view localName, std::wstring_view prefix,
                      std::wstring_view name, Element& element) const;
  // (property, value type, value text) of one ParameterDef child.
  using ParameterDefChild = std::tuple<std::wstring_view, std::wstring_view, std::wstring>;
  HRESULT CreateParameterDef(std::wstring_view name, bool isPrivate, std::wstring_view displayName,
                             const std::vector<ParameterDefChild>& children, Element& def) const;
  HRESULT CreateValue(std::wstring_view xsdType, std::wstring_view text, Element& value) const;
  HRESULT AddDisplayName(IXMLDOMElement* parent, std::wstring_view displayName) const;
  HRESULT OptionFromQuery(const std::wstring& query, bool requireName, std::wstring& option,
                          bool* isPrivate) const;
  HRESULT NodeText(IXMLDOMNode* node, std::wstring& text) const;

  ComPtr<IXMLDOMDocument2> doc_;
  std::wstring rootName_;
  std::wstring privateUri_;
  bool isCapabilities_ = false;
  bool privateDeclared_ = false;
  bool rootFound_ = false;
  Node root_;
  std::wstring fw_, psk_, xsi_, xsd_, priv_;
};

// Text of a string resource of the language library (empty when that
// library is not loaded). stripMnemonic drops line breaks and '&' markers.
std::wstring LoadDisplayString(UINT id, bool stripMnemonic);

}  // namespace qvx::ticket
