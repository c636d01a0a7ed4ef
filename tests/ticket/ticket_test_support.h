// Helpers of the ticket tests: COM set-up, MSXML documents, queries and
// settings records.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <msxml2.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "com_decls.h"
#include "com_ptr.h"
#include "own_record.h"
#include "settings_record.h"

namespace qvx::ticket::test {

using Doc = ComPtr<IXMLDOMDocument2>;

inline constexpr wchar_t kPsf[] = L"xmlns:psf='http://schemas.microsoft.com/windows/2003/08/printing/printschemaframework'";
inline constexpr wchar_t kPsk[] = L"xmlns:psk='http://schemas.microsoft.com/windows/2003/08/printing/printschemakeywords'";
inline constexpr wchar_t kXsi[] = L"xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'";
inline constexpr wchar_t kXsd[] = L"xmlns:xsd='http://www.w3.org/2001/XMLSchema'";

// Every test of the suite runs inside one COM apartment.
class ComTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

inline Doc NewDocument() {
  Doc doc;
  HRESULT hr = CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                kIidXmlDomDocument2, reinterpret_cast<void**>(doc.Put()));
  EXPECT_EQ(hr, S_OK);
  return doc;
}

// Parses text; null when it is not well-formed.
inline Doc ParseXml(const std::wstring& text) {
  Doc doc = NewDocument();
  if (!doc) return doc;
  VARIANT_BOOL ok = VARIANT_FALSE;
  doc->put_async(VARIANT_FALSE);
  if (FAILED(doc->loadXML(Bstr(text).Get(), &ok)) || ok != VARIANT_TRUE) return Doc();
  return doc;
}

// A ticket root declaring psf, psk, xsi and xsd around `body`.
inline std::wstring TicketXml(const std::wstring& body, const std::wstring& extraNs = L"") {
  return std::wstring(L"<psf:PrintTicket ") + kPsf + L" " + kPsk + L" " + kXsi + L" " + kXsd +
         L" version='1' " + extraNs + L">" + body + L"</psf:PrintTicket>";
}

inline std::wstring FeatureXml(const std::wstring& feature, const std::wstring& option,
                               const std::wstring& inner = L"") {
  return L"<psf:Feature name='" + feature + L"'><psf:Option name='" + option + L"'>" + inner +
         L"</psf:Option></psf:Feature>";
}

inline std::wstring IntScored(const std::wstring& name, int v) {
  return L"<psf:ScoredProperty name='" + name + L"'><psf:Value xsi:type='xsd:integer'>" +
         std::to_wstring(v) + L"</psf:Value></psf:ScoredProperty>";
}

// Queries run with psf bound to the framework namespace; keyword prefixes
// are compared as the document spells them in name attributes.
inline void UseFrameworkPrefix(IXMLDOMDocument2* doc) {
  Variant lang(L"XPath");
  doc->setProperty(Bstr(L"SelectionLanguage").Get(), lang.Ref());
  Variant ns(std::wstring(kPsf) + L" xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance'");
  doc->setProperty(Bstr(L"SelectionNamespaces").Get(), ns.Ref());
}

inline long Count(IXMLDOMDocument2* doc, const std::wstring& xpath) {
  UseFrameworkPrefix(doc);
  ComPtr<IXMLDOMNodeList> list;
  if (FAILED(doc->selectNodes(Bstr(xpath).Get(), list.Put())) || !list) return -1;
  long n = 0;
  list->get_length(&n);
  return n;
}

// Text of the first node the query selects; "<none>" when nothing matches.
inline std::wstring Text(IXMLDOMDocument2* doc, const std::wstring& xpath) {
  UseFrameworkPrefix(doc);
  ComPtr<IXMLDOMNode> node;
  if (FAILED(doc->selectSingleNode(Bstr(xpath).Get(), node.Put())) || !node) return L"<none>";
  Bstr text;
  node->get_text(text.Put());
  return text.Str();
}

// Option name (as spelled) of a feature of the ticket, found by its local
// keyword regardless of prefix.
inline std::wstring OptionOf(IXMLDOMDocument2* doc, const std::wstring& keyword) {
  return Text(doc, L"//psf:Feature[substring-after(@name, ':') = '" + keyword +
                       L"']/psf:Option/@name");
}

inline std::wstring ScoredOf(IXMLDOMDocument2* doc, const std::wstring& feature,
                             const std::wstring& property) {
  return Text(doc, L"//psf:Feature[substring-after(@name, ':') = '" + feature +
                       L"']//psf:ScoredProperty[substring-after(@name, ':') = '" + property +
                       L"']/psf:Value");
}

// References held on a COM object right now (probe by AddRef/Release).
inline ULONG RefCount(IUnknown* p) {
  p->AddRef();
  return p->Release();
}

}  // namespace qvx::ticket::test
