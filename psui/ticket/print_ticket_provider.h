// The COM server of QVXUI: the class factory and the print ticket provider.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "com_decls.h"
#include "feature_converter.h"

namespace qvx::ticket {

// Server lock count of LockServer, read by DllCanUnloadNow.
LONG ServerLockCount();

// Builds a full record from a record of another driver or an application:
// the caller's public part over the printer's default record, whose sizes are
// kept. `printerDefault` is the printer's current default record.
HRESULT MergeForeignRecord(std::span<const uint8_t> printerDefault, ULONG incomingSize,
                           const void* incoming, uint8_t (&out)[kRecordSize]);

// The printer's default record (through the spooler seam); E_INVALIDARG when
// it cannot be had.
HRESULT PrinterDefaultRecord(HANDLE printer, std::vector<uint8_t>& record);

// Where the provider gets a printer's default record from.
using PrinterRecordSource = HRESULT (*)(HANDLE printer, std::vector<uint8_t>& record);

class CPrintTicketProvider final : public IPrintTicketProvider {
 public:
  // Throws CXDException.
  explicit CPrintTicketProvider(PrinterRecordSource printerRecords = PrinterDefaultRecord);
  CPrintTicketProvider(const CPrintTicketProvider&) = delete;
  CPrintTicketProvider& operator=(const CPrintTicketProvider&) = delete;
  virtual ~CPrintTicketProvider();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetSupportedVersions(HANDLE printer, INT** versions,
                                                 INT* count) override;
  HRESULT STDMETHODCALLTYPE BindPrinter(HANDLE printer, INT version, ShimOptions* options,
                                        DWORD* devModeFlags, INT* namespaceCount,
                                        BSTR** namespaces) override;
  HRESULT STDMETHODCALLTYPE QueryDeviceNamespace(BSTR* defaultNamespace) override;
  HRESULT STDMETHODCALLTYPE ConvertPrintTicketToDevMode(IXMLDOMDocument2* ticket, ULONG cbIn,
                                                        DEVMODEW* devmodeIn, ULONG* cbOut,
                                                        DEVMODEW** devmodeOut) override;
  HRESULT STDMETHODCALLTYPE ConvertDevModeToPrintTicket(ULONG cb, DEVMODEW* devmode,
                                                        IXMLDOMDocument2* ticket) override;
  HRESULT STDMETHODCALLTYPE GetPrintCapabilities(IXMLDOMDocument2* ticket,
                                                 IXMLDOMDocument2** capabilities) override;
  HRESULT STDMETHODCALLTYPE ValidatePrintTicket(IXMLDOMDocument2* ticket) override;

 private:
  // A full record of this driver from what the caller passed.
  HRESULT LocalRecord(ULONG size, const void* record, uint8_t (&out)[kRecordSize]) const;

  volatile LONG refs_ = 1;
  IID iid_ = kIidPrintTicketProvider;
  HANDLE printer_ = nullptr;
  PrinterRecordSource printerRecords_;
  std::vector<std::unique_ptr<CFeatureConverter>> converters_;
  Bstr namespace_;
};

class CProviderClassFactory final : public IClassFactory {
 public:
  CProviderClassFactory() = default;
  virtual ~CProviderClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  volatile LONG refs_ = 1;
  IID iid_ = kIidClassFactory;
};

}  // namespace qvx::ticket
