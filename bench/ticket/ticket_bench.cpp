// Calls per second of the provider's four conversions, through
// DllGetClassObject of the built QVXUI.DLL, and the time of one round trip
// record -> ticket -> record.
#include <windows.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>

#include "com_decls.h"
#include "com_ptr.h"
#include "own_record.h"
#include "settings_record.h"
#include "test_paths.h"

using namespace qvx;
using namespace qvx::ticket;

namespace {

constexpr wchar_t kEmptyTicket[] =
    L"<psf:PrintTicket xmlns:psf='http://schemas.microsoft.com/windows/2003/08/printing/printschemaframework' "
    L"xmlns:psk='http://schemas.microsoft.com/windows/2003/08/printing/printschemakeywords' "
    L"xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
    L"version='1'/>";

ComPtr<IXMLDOMDocument2> Parse(const wchar_t* text) {
  ComPtr<IXMLDOMDocument2> doc;
  CoCreateInstance(kClsidDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                   reinterpret_cast<void**>(doc.Put()));
  VARIANT_BOOL ok = VARIANT_FALSE;
  if (doc) doc->loadXML(Bstr(text).Get(), &ok);
  return ok == VARIANT_TRUE ? doc : ComPtr<IXMLDOMDocument2>();
}

// CPU time of this process in seconds: on a busy machine wall time mostly
// measures the other processes.
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto seconds = [](const FILETIME& t) {
    return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Runs `op` for about a second (at least 5 times) and prints calls per
// second of wall time and of CPU time.
double Measure(const char* name, const std::function<bool()>& op) {
  using Clock = std::chrono::steady_clock;
  int calls = 0;
  const double cpuStart = CpuSeconds();
  const auto start = Clock::now();
  auto elapsed = Clock::duration::zero();
  while (calls < 5 || elapsed < std::chrono::seconds(1)) {
    if (!op()) {
      std::printf("%-30s failed\n", name);
      return 0;
    }
    ++calls;
    elapsed = Clock::now() - start;
  }
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const double cpu = CpuSeconds() - cpuStart;
  std::printf("%-34s wall %8.1f calls/s %7.3f ms/call | cpu %8.1f calls/s %7.3f ms/call\n", name,
              calls / seconds, 1000 * seconds / calls, cpu > 0 ? calls / cpu : 0.0, 1000 * cpu / calls);
  return 1000 * seconds / calls;
}

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HMODULE lib = LoadLibraryW(qvx::test::BinaryPath("bin/QVXUI.DLL").wstring().c_str());
  auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(lib ? GetProcAddress(lib, "DllGetClassObject") : nullptr));
  if (!getClassObject) {
    std::printf("QVXUI.DLL not loaded\n");
    return 1;
  }
  int status = 1;
  {
    ComPtr<IClassFactory> factory;
    ComPtr<IPrintTicketProvider> provider;
    if (FAILED(getClassObject(kClsidPrintTicketProvider, kIidClassFactory,
                              reinterpret_cast<void**>(factory.Put()))) ||
        FAILED(factory->CreateInstance(nullptr, kIidPrintTicketProvider,
                                       reinterpret_cast<void**>(provider.Put())))) {
      std::printf("no provider\n");
      return 1;
    }
    SettingsRecord record = qvx::ticket::test::OwnRecord();
    record.dm.dmPaperSize = 9;
    record.mediaType = 1;
    record.qualityCode = -4;
    auto* dm = reinterpret_cast<DEVMODEW*>(&record);

    ComPtr<IXMLDOMDocument2> ticket = Parse(kEmptyTicket);
    provider->ConvertDevModeToPrintTicket(sizeof record, dm, ticket.Get());

    std::printf("Print ticket provider under Wine (one provider, one thread)\n");
    Measure("ConvertDevModeToPrintTicket", [&] {
      return SUCCEEDED(provider->ConvertDevModeToPrintTicket(sizeof record, dm, ticket.Get()));
    });
    Measure("ConvertPrintTicketToDevMode", [&] {
      ULONG cb = 0;
      DEVMODEW* out = nullptr;
      HRESULT hr = provider->ConvertPrintTicketToDevMode(ticket.Get(), sizeof record, dm, &cb, &out);
      CoTaskMemFree(out);
      return SUCCEEDED(hr);
    });
    Measure("ValidatePrintTicket", [&] { return SUCCEEDED(provider->ValidatePrintTicket(ticket.Get())); });
    Measure("GetPrintCapabilities", [&] {
      ComPtr<IXMLDOMDocument2> caps;
      return SUCCEEDED(provider->GetPrintCapabilities(ticket.Get(), caps.Put()));
    });
    Measure("round trip record->ticket->record", [&] {
      ComPtr<IXMLDOMDocument2> fresh = Parse(kEmptyTicket);
      if (!fresh || FAILED(provider->ConvertDevModeToPrintTicket(sizeof record, dm, fresh.Get()))) return false;
      ULONG cb = 0;
      DEVMODEW* out = nullptr;
      HRESULT hr = provider->ConvertPrintTicketToDevMode(fresh.Get(), sizeof record, dm, &cb, &out);
      CoTaskMemFree(out);
      return SUCCEEDED(hr);
    });
    status = 0;
  }
  CoUninitialize();
  return status;
}
