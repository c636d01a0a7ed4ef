// COM declarations of the print ticket provider that the mingw headers lack:
// the provider interface, the MSXML 6 document class and the status codes.
// Written from the public interface documentation.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <msxml2.h>

namespace qvx::ticket {

// {46AC151B-8490-4531-96CC-55BF2BF19E11}
inline constexpr CLSID kClsidPrintTicketProvider = {
    0x46AC151B, 0x8490, 0x4531, {0x96, 0xCC, 0x55, 0xBF, 0x2B, 0xF1, 0x9E, 0x11}};
// {BB5116DB-0A23-4C3A-A6B6-89E5558DFB5D}
inline constexpr IID kIidPrintTicketProvider = {
    0xBB5116DB, 0x0A23, 0x4C3A, {0xA6, 0xB6, 0x89, 0xE5, 0x55, 0x8D, 0xFB, 0x5D}};
// MSXML 6.0 DOMDocument60 {88D96A05-F192-11D4-A65F-0040963251E5}
inline constexpr CLSID kClsidDomDocument60 = {
    0x88D96A05, 0xF192, 0x11D4, {0xA6, 0x5F, 0x00, 0x40, 0x96, 0x32, 0x51, 0xE5}};
// IXMLDOMDocument2 {2933BF95-7B36-11D2-B20E-00C04F983E60}
inline constexpr IID kIidXmlDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
// IXMLDOMElement {2933BF86-7B36-11D2-B20E-00C04F983E60}
inline constexpr IID kIidXmlDomElement = {
    0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
inline constexpr IID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID kIidStream = {
    0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Status codes of the ticket interfaces.
inline constexpr HRESULT kSPtNoConflict = 0x00040001;
inline constexpr HRESULT kSPtConflictResolved = 0x00040002;
inline constexpr HRESULT kEVersionNotSupported = static_cast<HRESULT>(0x80040001);
inline constexpr HRESULT kENotFound = static_cast<HRESULT>(0x80070490);  // ERROR_NOT_FOUND
inline constexpr HRESULT kEHandle = static_cast<HRESULT>(0x80070006);
inline constexpr HRESULT kEPending = static_cast<HRESULT>(0x8000000A);

// Options that BindPrinter hands back to the print system.
enum ShimOptions : int { kPtShimDefault = 0, kPtShimNoSnapshot = 1 };

// The provider interface, in its published slot order.
struct IPrintTicketProvider : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetSupportedVersions(HANDLE printer, INT** versions,
                                                         INT* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindPrinter(HANDLE printer, INT version, ShimOptions* options,
                                                DWORD* devModeFlags, INT* namespaceCount,
                                                BSTR** namespaces) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryDeviceNamespace(BSTR* defaultNamespace) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConvertPrintTicketToDevMode(IXMLDOMDocument2* ticket,
                                                                ULONG cbIn, DEVMODEW* devmodeIn,
                                                                ULONG* cbOut,
                                                                DEVMODEW** devmodeOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConvertDevModeToPrintTicket(ULONG cb, DEVMODEW* devmode,
                                                                IXMLDOMDocument2* ticket) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPrintCapabilities(IXMLDOMDocument2* ticket,
                                                         IXMLDOMDocument2** capabilities) = 0;
  virtual HRESULT STDMETHODCALLTYPE ValidatePrintTicket(IXMLDOMDocument2* ticket) = 0;
};

// Namespaces of the schema documents.
inline constexpr wchar_t kFrameworkUri[] =
    L"http://schemas.microsoft.com/windows/2003/08/printing/printschemaframework";
inline constexpr wchar_t kKeywordsUri[] =
    L"http://schemas.microsoft.com/windows/2003/08/printing/printschemakeywords";
inline constexpr wchar_t kXsiUri[] = L"http://www.w3.org/2001/XMLSchema-instance";
inline constexpr wchar_t kXsdUri[] = L"http://www.w3.org/2001/XMLSchema";
// This driver's own keyword namespace.
inline constexpr wchar_t kPrivateUri[] =
    L"http://schemas.quorvel.example/kdx/printing/2006/11/printschemakeywords";

}  // namespace qvx::ticket
