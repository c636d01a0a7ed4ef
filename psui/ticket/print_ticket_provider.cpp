#include "print_ticket_provider.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "media_size_converter.h"
#include "resolution_converter.h"
#include "win_platform.h"

namespace qvx::ticket {

namespace {

volatile LONG g_lockCount = 0;

constexpr DWORD kDocumentClassContext = 0x17;
constexpr uint16_t kPrivateOffsetOfSignature = offsetof(SettingsRecord, signature);

// Trace lines are formatted like the rest of the driver's diagnostics and
// then dropped: the provider writes no log.
void Trace(const char* format, ...) {
  static thread_local char line[32769];
  int n = snprintf(line, sizeof line, "%lu\t", GetTickCount());
  if (n < 0 || n >= static_cast<int>(sizeof line)) return;
  va_list args;
  va_start(args, format);
  vsnprintf(line + n, sizeof line - static_cast<size_t>(n), format, args);
  va_end(args);
}

bool HasSignature(ULONG size, const void* record) {
  return LoadU32(record, size, kPrivateOffsetOfSignature) == kSignature;
}

// The shared QueryInterface of the server's objects: IUnknown and the one
// interface the object was made for.
HRESULT QueryFor(IUnknown* self, const IID& stored, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, kIidUnknown) || IsEqualIID(riid, stored)) {
    *ppv = self;
    self->AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

// Copies one document's content into another through a memory stream.
HRESULT CopyDocument(IXMLDOMDocument2* from, IXMLDOMDocument2* to) {
  ComPtr<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
  if (FAILED(hr)) return hr;
  Variant target(stream.Get());
  if (FAILED(hr = from->save(target.Ref()))) return hr;
  LARGE_INTEGER zero{};
  if (FAILED(hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return hr;
  VARIANT_BOOL ok = VARIANT_FALSE;
  Variant source(stream.Get());
  hr = to->load(source.Ref(), &ok);
  if (FAILED(hr)) return hr;
  return ok == VARIANT_TRUE ? S_OK : E_FAIL;
}

HRESULT CreateDocument(ComPtr<IXMLDOMDocument2>& doc) {
  return CoCreateInstance(kClsidDomDocument60, nullptr, kDocumentClassContext, kIidXmlDomDocument2,
                          reinterpret_cast<void**>(doc.Put()));
}

// The skeleton every capabilities document starts from.
HRESULT BuildSkeleton(IXMLDOMDocument2* doc, std::wstring_view privateUri) {
  ComPtr<IXMLDOMProcessingInstruction> pi;
  HRESULT hr = doc->createProcessingInstruction(Bstr(L"xml").Get(),
                                                Bstr(L" version='1.0' encoding='UTF-8'").Get(),
                                                pi.Put());
  if (FAILED(hr)) return hr;
  Node added;
  if (FAILED(hr = doc->appendChild(pi.Get(), added.Put()))) return hr;
  Element root;
  if (FAILED(hr = doc->createElement(Bstr(L"psf:PrintCapabilities").Get(), root.Put()))) return hr;
  const std::pair<const wchar_t*, std::wstring_view> attributes[] = {
      {L"xmlns:psf", kFrameworkUri}, {L"xmlns:xsi", kXsiUri},   {L"xmlns:xsd", kXsdUri},
      {L"version", L"1"},            {L"xmlns:qvpsk", privateUri}, {L"xmlns:psk", kKeywordsUri},
  };
  for (const auto& [name, value] : attributes) {
    Variant v(value);
    if (FAILED(hr = root->setAttribute(Bstr(name).Get(), v.Ref()))) return hr;
  }
  return doc->appendChild(root.Get(), added.Put());
}

}  // namespace

LONG ServerLockCount() { return InterlockedCompareExchange(&g_lockCount, 0, 0); }

HRESULT MergeForeignRecord(std::span<const uint8_t> printerDefault, ULONG incomingSize,
                           const void* incoming, uint8_t (&out)[kRecordSize]) {
  std::memset(out, 0, sizeof out);
  if (printerDefault.size() < kPublicSize) return E_INVALIDARG;
  // Only the printer's own record is copied, never what lies behind it.
  const size_t declared = static_cast<size_t>(LoadU16(printerDefault.data(), printerDefault.size(),
                                                      offsetof(DevModeW, dmSize))) +
                          LoadU16(printerDefault.data(), printerDefault.size(),
                                  offsetof(DevModeW, dmDriverExtra));
  const size_t copied = std::min({printerDefault.size(), declared, kRecordSize});
  std::memcpy(out, printerDefault.data(), copied);
  const uint16_t keptSize = LoadU16(out, kRecordSize, offsetof(DevModeW, dmSize));
  const uint16_t keptExtra = LoadU16(out, kRecordSize, offsetof(DevModeW, dmDriverExtra));

  size_t amount = 0;
  if (incoming && incomingSize >= 70) {
    const uint16_t size = LoadU16(incoming, incomingSize, offsetof(DevModeW, dmSize));
    amount = size > kPublicSize ? kPublicSize : size;
  } else if (incoming) {
    amount = std::min<size_t>(incomingSize, kPublicSize);
  }
  amount = std::min<size_t>(amount, incomingSize);
  Trace("Copied size of devmode = %08x\r\n", static_cast<unsigned>(amount));
  if (amount) std::memcpy(out, incoming, amount);

  std::memcpy(out + offsetof(DevModeW, dmSize), &keptSize, 2);
  std::memcpy(out + offsetof(DevModeW, dmDriverExtra), &keptExtra, 2);
  return S_OK;
}

HRESULT PrinterDefaultRecord(HANDLE printer, std::vector<uint8_t>& record) {
  record.clear();
  if (!printer) return E_INVALIDARG;
  auto info = core::win::BorrowPrinter(printer)->GetInfo();
  if (!info || info->devMode.empty()) return E_INVALIDARG;
  record = std::move(info->devMode);
  return S_OK;
}

// ------------------------------------------------------ CPrintTicketProvider

CPrintTicketProvider::CPrintTicketProvider(PrinterRecordSource printerRecords)
    : printerRecords_(printerRecords), namespace_(kPrivateUri) {
  try {
    // Fixed order: every request visits the converters in this order.
    converters_.push_back(std::make_unique<CMediaSizeConverter>(namespace_.View()));
    converters_.push_back(std::make_unique<CResolutionConverter>(namespace_.View()));
  } catch (const std::bad_alloc&) {
    throw CXDException(E_OUTOFMEMORY);
  }
}

CPrintTicketProvider::~CPrintTicketProvider() {
  for (auto it = converters_.rbegin(); it != converters_.rend(); ++it) it->reset();
}

HRESULT CPrintTicketProvider::QueryInterface(REFIID riid, void** ppv) {
  return QueryFor(this, iid_, riid, ppv);
}

ULONG CPrintTicketProvider::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG CPrintTicketProvider::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT CPrintTicketProvider::GetSupportedVersions(HANDLE, INT** versions, INT* count) {
  if (!versions || !count) return E_POINTER;
  *count = 0;
  INT* list = static_cast<INT*>(CoTaskMemAlloc(sizeof(INT)));
  if (!list) return E_OUTOFMEMORY;
  list[0] = 1;
  *versions = list;
  *count = 1;
  return S_OK;
}

HRESULT CPrintTicketProvider::BindPrinter(HANDLE printer, INT version, ShimOptions* options,
                                          DWORD* devModeFlags, INT* namespaceCount,
                                          BSTR** namespaces) {
  if (!options || !namespaceCount || !namespaces || !devModeFlags) return E_POINTER;
  if (!printer) return kEHandle;
  *namespaces = nullptr;
  *namespaceCount = 0;
  if (version != 1) return kEVersionNotSupported;
  printer_ = printer;
  *options = kPtShimNoSnapshot;
  *devModeFlags = 0xFFFFFFFF;
  return S_OK;
}

HRESULT CPrintTicketProvider::QueryDeviceNamespace(BSTR* defaultNamespace) {
  if (!defaultNamespace) return E_POINTER;
  *defaultNamespace = SysAllocStringLen(namespace_.Get(), SysStringLen(namespace_.Get()));
  return *defaultNamespace ? S_OK : E_OUTOFMEMORY;
}

HRESULT CPrintTicketProvider::LocalRecord(ULONG size, const void* record,
                                          uint8_t (&out)[kRecordSize]) const {
  if (size == kRecordSize && HasSignature(size, record)) {
    std::memcpy(out, record, kRecordSize);
    return S_OK;
  }
  std::vector<uint8_t> printerDefault;
  HRESULT hr = printerRecords_(printer_, printerDefault);
  if (FAILED(hr)) return hr;
  return MergeForeignRecord(printerDefault, size, record, out);
}

HRESULT CPrintTicketProvider::ConvertPrintTicketToDevMode(IXMLDOMDocument2* ticket, ULONG cbIn,
                                                          DEVMODEW* devmodeIn, ULONG* cbOut,
                                                          DEVMODEW** devmodeOut) {
  if (!ticket || !devmodeIn || !cbOut || !devmodeOut) return E_POINTER;
  *devmodeOut = nullptr;
  return GuardAll([&]() -> HRESULT {
    if (cbIn != kRecordSize) Trace("cbDevmode = %d (%d)\r\n", static_cast<int>(cbIn), static_cast<int>(kRecordSize));
    uint8_t local[kRecordSize];
    HRESULT hr = LocalRecord(cbIn, devmodeIn, local);
    if (FAILED(hr)) return hr;

    *cbOut = kRecordSize;
    auto* out = static_cast<uint8_t*>(CoTaskMemAlloc(kRecordSize));
    if (!out) return E_OUTOFMEMORY;
    std::memcpy(out, local, kRecordSize);
    const uint16_t version = kTicketDriverVersion;
    std::memcpy(out + offsetof(DevModeW, dmDriverVersion), &version, 2);
    const ULONG publicSize = LoadU16(out, kRecordSize, offsetof(DevModeW, dmSize));
    const ULONG privateSize = LoadU16(out, kRecordSize, offsetof(DevModeW, dmDriverExtra));

    for (auto& converter : converters_) {
      hr = converter->TicketToSettings(printer_, ticket, publicSize, out, privateSize,
                                       out + kPublicSize);
      if (FAILED(hr)) {
        // A failed call hands nothing out, so nothing can leak.
        CoTaskMemFree(out);
        *cbOut = 0;
        return hr;
      }
    }
    *devmodeOut = reinterpret_cast<DEVMODEW*>(out);
    return S_OK;
  });
}

HRESULT CPrintTicketProvider::ConvertDevModeToPrintTicket(ULONG cb, DEVMODEW* devmode,
                                                          IXMLDOMDocument2* ticket) {
  Trace("cbDevmode = %d (%d)\r\n", static_cast<int>(cb), static_cast<int>(kRecordSize));
  Trace("pDevmode = %08x\r\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(devmode)));
  if (!devmode || !ticket) return E_POINTER;
  return GuardAll([&]() -> HRESULT {
    if (cb != kRecordSize) Trace("cbDevmode = %d (%d)\r\n", static_cast<int>(cb), static_cast<int>(kRecordSize));
    uint8_t record[kRecordSize];
    HRESULT hr = LocalRecord(cb, devmode, record);
    if (FAILED(hr)) return hr;

    CSchemaDocument doc(kTicketRoot, namespace_.View(), true, ticket);
    Node root;
    if (FAILED(hr = doc.GetRoot(root))) return hr;

    const ULONG publicSize = LoadU16(record, kRecordSize, offsetof(DevModeW, dmSize));
    const ULONG privateSize = LoadU16(record, kRecordSize, offsetof(DevModeW, dmDriverExtra));
    for (auto& converter : converters_) {
      hr = converter->SettingsToTicket(printer_, publicSize, record, privateSize,
                                       record + kPublicSize, ticket);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  });
}

HRESULT CPrintTicketProvider::GetPrintCapabilities(IXMLDOMDocument2* ticket,
                                                   IXMLDOMDocument2** capabilities) {
  if (!capabilities) return E_POINTER;
  *capabilities = nullptr;
  return GuardAll([&]() -> HRESULT {
    ComPtr<IXMLDOMDocument2> result, skeleton;
    HRESULT hr = CreateDocument(result);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = CreateDocument(skeleton))) return hr;
    if (FAILED(hr = BuildSkeleton(skeleton.Get(), namespace_.View()))) return hr;
    if (FAILED(hr = CopyDocument(skeleton.Get(), result.Get()))) return hr;

    for (auto& converter : converters_) {
      hr = converter->AddCapabilities(printer_, ticket, result.Get());
      if (FAILED(hr)) return hr;
    }
    // The caller gets a freshly parsed document holding the result.
    if (FAILED(hr = CopyDocument(result.Get(), skeleton.Get()))) return hr;
    *capabilities = skeleton.Detach();
    return S_OK;
  });
}

HRESULT CPrintTicketProvider::ValidatePrintTicket(IXMLDOMDocument2* ticket) {
  if (!ticket) return E_POINTER;
  return GuardAll([&]() -> HRESULT {
    CSchemaDocument doc(kTicketRoot, namespace_.View(), true, ticket);
    HRESULT result = kSPtNoConflict;
    for (auto& converter : converters_) {
      if (FAILED(result)) break;
      HRESULT r = converter->ValidateTicket(printer_, ticket);
      if (FAILED(r) || r == kSPtConflictResolved) result = r;
    }
    return result;
  });
}

// ----------------------------------------------------- CProviderClassFactory

HRESULT CProviderClassFactory::QueryInterface(REFIID riid, void** ppv) {
  return QueryFor(this, iid_, riid, ppv);
}

ULONG CProviderClassFactory::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG CProviderClassFactory::Release() {
  LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT CProviderClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  CPrintTicketProvider* provider = nullptr;
  try {
    provider = new CPrintTicketProvider();
  } catch (const CXDException& e) {
    return e.Result();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  HRESULT hr = provider->QueryInterface(riid, ppv);
  provider->Release();
  return hr;
}

HRESULT CProviderClassFactory::LockServer(BOOL lock) {
  if (lock)
    InterlockedIncrement(&g_lockCount);
  else
    InterlockedDecrement(&g_lockCount);
  return S_OK;
}

}  // namespace qvx::ticket

// ------------------------------------------------------------------ exports

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  using namespace qvx::ticket;
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, kClsidPrintTicketProvider)) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new (std::nothrow) CProviderClassFactory();
  if (!factory) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  factory->Release();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return qvx::ticket::ServerLockCount() != 0 ? S_FALSE : S_OK;
}
