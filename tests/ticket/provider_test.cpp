// The print ticket provider as the print system uses it: through
// DllGetClassObject of the built QVXUI.DLL, with Wine's MSXML 6.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_paths.h"
#include "ticket_test_support.h"

namespace qvx::ticket::test {
namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

constexpr wchar_t kPrivateKeywordsPath[] = L"/kdx/printing/2006/11/printschemakeywords";

class Library {
 public:
  Library() {
    module_ = LoadLibraryW(qvx::test::BinaryPath("bin/QVXUI.DLL").wstring().c_str());
    if (module_) {
      getClassObject = reinterpret_cast<GetClassObjectFn>(
          reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
      canUnload = reinterpret_cast<CanUnloadFn>(
          reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    }
  }
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  bool Loaded() const { return getClassObject && canUnload; }
  GetClassObjectFn getClassObject = nullptr;
  CanUnloadFn canUnload = nullptr;

 private:
  HMODULE module_ = nullptr;
};

class Provider : public ComTest {
 protected:
  void SetUp() override {
    ComTest::SetUp();
    ASSERT_TRUE(lib_.Loaded()) << "QVXUI.DLL or its COM exports missing";
    ASSERT_EQ(lib_.getClassObject(kClsidPrintTicketProvider, kIidClassFactory,
                                  reinterpret_cast<void**>(factory_.Put())),
              S_OK);
    ASSERT_EQ(factory_->CreateInstance(nullptr, kIidPrintTicketProvider,
                                       reinterpret_cast<void**>(provider_.Put())),
              S_OK);
  }
  void TearDown() override {
    if (provider_) EXPECT_EQ(provider_->Release(), 0u);
    provider_.Detach();
    factory_.Reset();
    ComTest::TearDown();
  }

  // Ticket text -> record: the returned record, checked for the fixed shape.
  SettingsRecord ToRecord(IXMLDOMDocument2* ticket, const SettingsRecord& in, HRESULT expect = S_OK) {
    SettingsRecord copy = in;
    ULONG cb = 0;
    DEVMODEW* out = nullptr;
    EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(ticket, sizeof copy,
                                                     reinterpret_cast<DEVMODEW*>(&copy), &cb, &out),
              expect);
    SettingsRecord r;
    std::memset(&r, 0, sizeof r);
    if (out) {
      EXPECT_EQ(cb, kRecordSize);
      std::memcpy(&r, out, sizeof r);
      CoTaskMemFree(out);
      EXPECT_EQ(r.dm.dmDriverVersion, kTicketDriverVersion);
    }
    EXPECT_EQ(std::memcmp(&copy, &in, sizeof in), 0) << "the caller's record was changed";
    return r;
  }

  Doc ToTicket(const SettingsRecord& in) {
    Doc ticket = ParseXml(TicketXml(L""));
    SettingsRecord copy = in;
    EXPECT_EQ(provider_->ConvertDevModeToPrintTicket(sizeof copy, reinterpret_cast<DEVMODEW*>(&copy),
                                                     ticket.Get()),
              S_OK);
    return ticket;
  }

  Library lib_;
  ComPtr<IClassFactory> factory_;
  ComPtr<IPrintTicketProvider> provider_;
};

// ------------------------------------------------------------ COM contract

TEST_F(Provider, ClassFactoryAnswersOnlyItsClassAndInterfaces) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(lib_.getClassObject(kIidPrintTicketProvider, kIidClassFactory, &p),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(lib_.getClassObject(kClsidPrintTicketProvider, kIidClassFactory, nullptr), E_POINTER);
  p = reinterpret_cast<void*>(1);
  EXPECT_EQ(lib_.getClassObject(kClsidPrintTicketProvider, kIidPrintTicketProvider, &p),
            E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);

  ComPtr<IUnknown> unk;
  ASSERT_EQ(factory_->QueryInterface(kIidUnknown, reinterpret_cast<void**>(unk.Put())), S_OK);
  EXPECT_EQ(static_cast<void*>(unk.Get()), static_cast<void*>(factory_.Get()));
  EXPECT_EQ(RefCount(factory_.Get()), 2u);
  unk.Reset();
  EXPECT_EQ(RefCount(factory_.Get()), 1u);

  // Aggregation is refused; a fresh provider holds only the caller's reference.
  ComPtr<IUnknown> created;
  p = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory_->CreateInstance(static_cast<IUnknown*>(factory_.Get()), kIidUnknown, &p),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(factory_->CreateInstance(nullptr, kIidStream, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  ASSERT_EQ(factory_->CreateInstance(nullptr, kIidUnknown, reinterpret_cast<void**>(created.Put())), S_OK);
  EXPECT_EQ(RefCount(created.Get()), 1u);
  ComPtr<IPrintTicketProvider> again;
  EXPECT_EQ(created.As(kIidPrintTicketProvider, again), S_OK);
  EXPECT_EQ(RefCount(created.Get()), 2u);
  EXPECT_EQ(again->QueryInterface(kIidClassFactory, &p), E_NOINTERFACE);
}

TEST_F(Provider, LockServerDecidesUnloadingAndLiveObjectsDoNot) {
  EXPECT_EQ(lib_.canUnload(), S_OK);  // a provider is alive in this fixture
  EXPECT_EQ(factory_->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory_->LockServer(TRUE), S_OK);
  EXPECT_EQ(lib_.canUnload(), S_FALSE);
  EXPECT_EQ(factory_->LockServer(FALSE), S_OK);
  EXPECT_EQ(lib_.canUnload(), S_FALSE);
  EXPECT_EQ(factory_->LockServer(FALSE), S_OK);
  EXPECT_EQ(lib_.canUnload(), S_OK);
}

TEST_F(Provider, BindPrinterChecksArgumentsThenVersion) {
  ShimOptions options = kPtShimDefault;
  DWORD flags = 0;
  INT count = 7;
  BSTR* namespaces = reinterpret_cast<BSTR*>(1);
  HANDLE printer = reinterpret_cast<HANDLE>(0x1234);

  EXPECT_EQ(provider_->BindPrinter(printer, 1, nullptr, &flags, &count, &namespaces), E_POINTER);
  EXPECT_EQ(provider_->BindPrinter(printer, 1, &options, &flags, nullptr, &namespaces), E_POINTER);
  EXPECT_EQ(provider_->BindPrinter(printer, 1, &options, &flags, &count, nullptr), E_POINTER);
  EXPECT_EQ(provider_->BindPrinter(printer, 1, &options, nullptr, &count, &namespaces), E_POINTER);
  // Pointers are checked before the handle.
  EXPECT_EQ(provider_->BindPrinter(nullptr, 1, &options, nullptr, &count, &namespaces), E_POINTER);
  EXPECT_EQ(provider_->BindPrinter(nullptr, 1, &options, &flags, &count, &namespaces), kEHandle);
  EXPECT_EQ(count, 7);

  EXPECT_EQ(provider_->BindPrinter(printer, 2, &options, &flags, &count, &namespaces),
            kEVersionNotSupported);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(namespaces, nullptr);
  EXPECT_EQ(options, kPtShimDefault);

  EXPECT_EQ(provider_->BindPrinter(printer, 1, &options, &flags, &count, &namespaces), S_OK);
  EXPECT_EQ(options, kPtShimNoSnapshot);
  EXPECT_EQ(flags, 0xFFFFFFFFu);
}

TEST_F(Provider, AnnouncesVersionOneAndItsKeywordNamespace) {
  INT* versions = nullptr;
  INT count = -1;
  EXPECT_EQ(provider_->GetSupportedVersions(nullptr, nullptr, &count), E_POINTER);
  ASSERT_EQ(provider_->GetSupportedVersions(nullptr, &versions, &count), S_OK);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(versions[0], 1);
  CoTaskMemFree(versions);

  EXPECT_EQ(provider_->QueryDeviceNamespace(nullptr), E_POINTER);
  Bstr uri;
  ASSERT_EQ(provider_->QueryDeviceNamespace(uri.Put()), S_OK);
  std::wstring_view v = uri.View();
  EXPECT_EQ(v.substr(0, 7), L"http://");
  EXPECT_TRUE(v.ends_with(kPrivateKeywordsPath)) << uri.Str();
  EXPECT_EQ(v, kPrivateUri);
}

// ------------------------------------------------- record -> ticket -> record

TEST_F(Provider, WritesMediaOrientationAndQualityIntoTheTicket) {
  SettingsRecord r = OwnRecord();
  r.dm.dmPaperSize = 9;
  r.dm.dmOrientation = 2;
  r.mediaType = 1;       // Inkjet
  r.qualityCode = -1;    // Draft
  r.thickness = 4;
  r.bidirectional = 0;
  r.mediaVariant = 1;
  r.customUnitInch = 1;
  Doc t = ToTicket(r);

  EXPECT_EQ(OptionOf(t.Get(), L"PageMediaSize"), L"psk:ISOA4");
  EXPECT_EQ(ScoredOf(t.Get(), L"PageMediaSize", L"MediaSizeWidth"), L"210000");
  EXPECT_EQ(ScoredOf(t.Get(), L"PageMediaSize", L"MediaSizeHeight"), L"297000");
  EXPECT_EQ(OptionOf(t.Get(), L"PageOrientation"), L"psk:Landscape");
  // Private keywords use the prefix declared for the private namespace.
  EXPECT_EQ(OptionOf(t.Get(), L"PageMediaType"), L"ns0001:Inkjet");
  EXPECT_EQ(ScoredOf(t.Get(), L"PageMediaType", L"Material"), L"Paper");
  EXPECT_EQ(OptionOf(t.Get(), L"PageOutputQuality"), L"psk:Draft");
  EXPECT_EQ(ScoredOf(t.Get(), L"PageResolution", L"ResolutionX"), L"600");
  EXPECT_EQ(Text(t.Get(), L"//psf:Feature[@name='ns0001:PageThicknessType']/psf:Option/@name"),
            L"ns0001:Envelope");
  EXPECT_EQ(OptionOf(t.Get(), L"PageSlowDrying"), L"ns0001:On");
  EXPECT_EQ(OptionOf(t.Get(), L"PageBidirPrint"), L"ns0001:Off");
  EXPECT_EQ(Text(t.Get(), L"//psf:Property[@name='ns0001:PageMediaSizeData']"
                          L"/psf:Property[@name='ns0001:CustomUnitType']/psf:Value"),
            L"inch");

  // Converting into the same ticket again replaces instead of adding.
  SettingsRecord copy = r;
  ASSERT_EQ(provider_->ConvertDevModeToPrintTicket(sizeof copy, reinterpret_cast<DEVMODEW*>(&copy), t.Get()), S_OK);
  for (const wchar_t* f : {L"PageMediaSize", L"PageOrientation", L"PageMediaType", L"PageThicknessType",
                           L"PageSlowDrying", L"PageBidirPrint", L"PageResolution", L"PageOutputQuality"})
    EXPECT_EQ(Count(t.Get(), std::wstring(L"//psf:Feature[substring-after(@name, ':') = '") + f + L"']"), 1) << f;
  EXPECT_EQ(Count(t.Get(), L"//psf:Property[@name='ns0001:PageMediaSizeData']"), 1);
}

TEST_F(Provider, CustomSizesTravelAsParametersAndAreClamped) {
  struct Case {
    uint16_t width, height;
    const wchar_t* expectWidth;
    const wchar_t* expectHeight;
  } cases[] = {{1000, 1500, L"100000", L"150000"}, {2500, 4000, L"224900", L"355600"}};
  for (const Case& c : cases) {
    SettingsRecord r = OwnRecord();
    r.dm.dmPaperSize = 256;
    r.customWidth = c.width;
    r.customHeight = c.height;
    Doc t = ToTicket(r);
    EXPECT_EQ(OptionOf(t.Get(), L"PageMediaSize"), L"psk:CustomMediaSize");
    EXPECT_EQ(Text(t.Get(), L"//psf:ScoredProperty[@name='psk:MediaSizeWidth']/psf:ParameterRef/@name"),
              L"psk:PageMediaSizeMediaSizeWidth");
    EXPECT_EQ(Text(t.Get(), L"/*/psf:ParameterInit[@name='psk:PageMediaSizeMediaSizeWidth']/psf:Value"), c.expectWidth);
    EXPECT_EQ(Text(t.Get(), L"/*/psf:ParameterInit[@name='psk:PageMediaSizeMediaSizeHeight']/psf:Value"), c.expectHeight);

    // And back: the ticket gives the same (clamped) size.
    SettingsRecord back = ToRecord(t.Get(), OwnRecord());
    EXPECT_EQ(back.dm.dmPaperSize, 256);
    EXPECT_EQ(back.customWidth, std::stoi(c.expectWidth) / 100);
    EXPECT_EQ(back.customHeight, std::stoi(c.expectHeight) / 100);
  }
}

TEST_F(Provider, TicketsSetPaperOrientationAndCustomSize) {
  const std::wstring media = L"psk:PageMediaSize";
  const std::wstring orient = L"psk:PageOrientation";
  struct Case {
    std::wstring body;
    int16_t paper, orientation;
    uint16_t customWidth;
  } cases[] = {
      {FeatureXml(media, L"psk:ISOA4") + FeatureXml(orient, L"psk:Landscape"), 9, 2, 0},
      {FeatureXml(orient, L"psk:ReverseLandscape"), 1, 2, 0},
      {FeatureXml(orient, L"psk:ReversePortrait"), 1, 1, 0},
      // No paper code for JISB4: the record keeps its paper.
      {FeatureXml(media, L"psk:JISB4"), 1, 1, 0},
      {FeatureXml(media, L"psk:CustomMediaSize",
                  IntScored(L"psk:MediaSizeWidth", 50000) + IntScored(L"psk:MediaSizeHeight", 150000)),
       256, 1, 889},
      // A private size named with the public prefix is read from its dimensions.
      {FeatureXml(media, L"psk:Post",
                  IntScored(L"psk:MediaSizeWidth", 120000) + IntScored(L"psk:MediaSizeHeight", 150000)),
       256, 1, 1200},
  };
  for (const Case& c : cases) {
    Doc t = ParseXml(TicketXml(c.body));
    ASSERT_TRUE(t);
    SettingsRecord r = ToRecord(t.Get(), OwnRecord());
    EXPECT_EQ(r.dm.dmPaperSize, c.paper);
    EXPECT_EQ(r.dm.dmOrientation, c.orientation);
    EXPECT_EQ(r.customWidth, c.customWidth);
  }
}

TEST_F(Provider, QualityAndMediaDecideThePrintResolution) {
  const std::wstring ns = L"xmlns:q='" + std::wstring(kPrivateUri) + L"'";
  struct Case {
    const wchar_t* media;
    const wchar_t* quality;
    uint16_t mediaType;
    int16_t qualityCode, dpi;
  } cases[] = {
      {L"psk:Plain", L"psk:Draft", 0, -1, 150},
      {L"psk:Plain", L"psk:Normal", 0, -2, 300},
      {L"psk:Plain", L"psk:High", 0, -3, 600},
      {L"psk:Plain", L"psk:Photographic", 0, -4, 600},
      {L"q:Inkjet", L"psk:Draft", 1, -1, 600},
      {L"q:GlossyQuorvel", L"psk:Normal", 9, -2, 600},
      {L"psk:Transparency", L"psk:High", 4, -3, 600},
      // A private media type named publicly becomes plain paper.
      {L"psk:Inkjet", L"psk:Normal", 0, -2, 300},
  };
  for (const Case& c : cases) {
    Doc t = ParseXml(TicketXml(FeatureXml(L"psk:PageMediaType", c.media) +
                                   FeatureXml(L"psk:PageOutputQuality", c.quality),
                               ns));
    ASSERT_TRUE(t);
    SettingsRecord in = OwnRecord();
    in.mediaType = 3;
    SettingsRecord r = ToRecord(t.Get(), in);
    EXPECT_EQ(r.mediaType, c.mediaType) << c.media;
    EXPECT_EQ(r.qualityCode, c.qualityCode) << c.media << L" " << c.quality;
    EXPECT_EQ(r.dm.dmPrintQuality, c.dpi) << c.media << L" " << c.quality;
  }
}

TEST_F(Provider, UnknownQualityKeepsTheRecordAndPrivateMediaFeaturesAreRead) {
  const std::wstring ns = L"xmlns:q='" + std::wstring(kPrivateUri) + L"'";
  Doc t = ParseXml(TicketXml(FeatureXml(L"psk:PageOutputQuality", L"psk:Stunning") +
                                 FeatureXml(L"q:PageThicknessType", L"q:Thick") +
                                 FeatureXml(L"q:PageSlowDrying", L"q:On") +
                                 FeatureXml(L"q:PageBidirPrint", L"q:Off"),
                             ns));
  ASSERT_TRUE(t);
  SettingsRecord in = OwnRecord();
  in.qualityCode = -2;
  in.dm.dmPrintQuality = 300;
  SettingsRecord r = ToRecord(t.Get(), in);
  EXPECT_EQ(r.qualityCode, -2);
  EXPECT_EQ(r.dm.dmPrintQuality, 300);
  EXPECT_EQ(r.thickness, 2);
  EXPECT_EQ(r.thicknessJob, 2);
  EXPECT_EQ(r.mediaVariant, 1u);
  EXPECT_EQ(r.bidirectional, 0u);
  EXPECT_EQ(r.bidirectionalJob, 0u);

  // Without the private features the media group returns to its defaults.
  Doc bare = ParseXml(TicketXml(L""));
  SettingsRecord reset = ToRecord(bare.Get(), r);
  EXPECT_EQ(reset.thickness, 0);
  EXPECT_EQ(reset.mediaVariant, 0u);
  EXPECT_EQ(reset.bidirectional, 1u);
}

TEST_F(Provider, RoundTripKeepsTheSettings) {
  SettingsRecord r = OwnRecord();
  r.dm.dmPaperSize = 274;  // A4BL, a private size
  r.dm.dmOrientation = 2;
  r.mediaType = 12;
  r.qualityCode = -4;
  r.thickness = 2;
  r.thicknessJob = 2;
  r.customUnitInch = 1;
  Doc t = ToTicket(r);
  EXPECT_EQ(OptionOf(t.Get(), L"PageMediaSize"), L"ns0001:A4BL");
  SettingsRecord back = ToRecord(t.Get(), OwnRecord());
  EXPECT_EQ(back.dm.dmPaperSize, 274);
  EXPECT_EQ(back.dm.dmOrientation, 2);
  EXPECT_EQ(back.mediaType, 12);
  EXPECT_EQ(back.qualityCode, -4);
  EXPECT_EQ(back.dm.dmPrintQuality, 600);
  EXPECT_EQ(back.thickness, 2);
  EXPECT_EQ(back.customUnitInch, 1);
}

TEST_F(Provider, ConversionArgumentsAreChecked) {
  Doc t = ParseXml(TicketXml(L""));
  SettingsRecord r = OwnRecord();
  auto* dm = reinterpret_cast<DEVMODEW*>(&r);
  ULONG cb = 0;
  DEVMODEW* out = nullptr;
  EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(nullptr, sizeof r, dm, &cb, &out), E_POINTER);
  EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(t.Get(), sizeof r, nullptr, &cb, &out), E_POINTER);
  EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(t.Get(), sizeof r, dm, nullptr, &out), E_POINTER);
  EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(t.Get(), sizeof r, dm, &cb, nullptr), E_POINTER);
  EXPECT_EQ(provider_->ConvertDevModeToPrintTicket(sizeof r, nullptr, t.Get()), E_POINTER);
  EXPECT_EQ(provider_->ConvertDevModeToPrintTicket(sizeof r, dm, nullptr), E_POINTER);
  EXPECT_EQ(provider_->ValidatePrintTicket(nullptr), E_POINTER);
  EXPECT_EQ(provider_->GetPrintCapabilities(t.Get(), nullptr), E_POINTER);

  // A foreign record needs the bound printer's default record.
  SettingsRecord foreign = OwnRecord();
  foreign.signature = 0;
  out = nullptr;
  EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(t.Get(), sizeof foreign,
                                                   reinterpret_cast<DEVMODEW*>(&foreign), &cb, &out),
            E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(provider_->ConvertDevModeToPrintTicket(220, dm, t.Get()), E_INVALIDARG);

  // A record too small for the converters fails cleanly and hands nothing out.
  SettingsRecord small = OwnRecord();
  small.dm.dmDriverExtra = 0;
  out = reinterpret_cast<DEVMODEW*>(1);
  EXPECT_EQ(provider_->ConvertPrintTicketToDevMode(t.Get(), sizeof small,
                                                   reinterpret_cast<DEVMODEW*>(&small), &cb, &out),
            E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
}

// ------------------------------------------------------------- capabilities

TEST_F(Provider, CapabilitiesWithoutTicket) {
  ComPtr<IXMLDOMDocument2> caps;
  ASSERT_EQ(provider_->GetPrintCapabilities(nullptr, caps.Put()), S_OK);
  ASSERT_TRUE(caps);
  EXPECT_EQ(RefCount(caps.Get()), 1u);
  EXPECT_EQ(Count(caps.Get(), L"/psf:PrintCapabilities"), 1);
  EXPECT_EQ(Text(caps.Get(), L"/psf:PrintCapabilities/@version"), L"1");
  // The root declares the six namespaces and version, whoever adds features.
  ComPtr<IXMLDOMElement> root;
  ASSERT_EQ(caps->get_documentElement(root.Put()), S_OK);
  const std::pair<const wchar_t*, const wchar_t*> declared[] = {
      {L"xmlns:psf", kFrameworkUri}, {L"xmlns:psk", kKeywordsUri}, {L"xmlns:xsi", kXsiUri},
      {L"xmlns:xsd", kXsdUri},       {L"xmlns:qvpsk", kPrivateUri}};
  ComPtr<IXMLDOMNamedNodeMap> attrs;
  ASSERT_EQ(root->get_attributes(attrs.Put()), S_OK);
  long n = 0;
  attrs->get_length(&n);
  for (const auto& [name, uri] : declared) {
    bool found = false;
    for (long i = 0; i < n; ++i) {
      ComPtr<IXMLDOMNode> a;
      attrs->get_item(i, a.Put());
      Bstr an, av;
      a->get_nodeName(an.Put());
      a->get_text(av.Put());
      found |= an.View() == name && av.View() == uri;
    }
    EXPECT_TRUE(found) << name;
  }

  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='psk:PageMediaSize']/psf:Option"), 30);
  EXPECT_EQ(Text(caps.Get(), L"//psf:Option[@name='qvpsk:IndexBL']/psf:ScoredProperty[@name='psk:MediaSizeHeight']/psf:Value"),
            L"212200");
  EXPECT_EQ(Text(caps.Get(), L"//psf:Option[@name='psk:ISOA4']/@constrained"), L"psk:None");
  EXPECT_EQ(Text(caps.Get(), L"//psf:Option[@name='psk:CustomMediaSize']/psf:ScoredProperty[@name='psk:MediaSizeWidth']/psf:ParameterRef/@name"),
            L"psk:PageMediaSizeMediaSizeWidth");
  EXPECT_EQ(Text(caps.Get(), L"/*/psf:ParameterDef[@name='psk:PageMediaSizeMediaSizeHeight']/psf:Property[@name='psf:MaxValue']/psf:Value"),
            L"355600");
  EXPECT_EQ(Count(caps.Get(), L"//psf:Property[@name='psk:PageImageableSize']"), 0);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='psk:PageOrientation']/psf:Option"), 2);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='psk:PageMediaType']/psf:Option"), 7);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='qvpsk:PageThicknessType']/psf:Option"), 3);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='qvpsk:PageSlowDrying']/psf:Option"), 2);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='qvpsk:PageBidirPrint']/psf:Option"), 2);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='psk:PageResolution']/psf:Option[not(@name)]"), 3);
  EXPECT_EQ(Count(caps.Get(), L"//psf:Feature[@name='psk:PageOutputQuality']/psf:Option[@constrained='psk:None']"), 4);
  EXPECT_EQ(Text(caps.Get(), L"//psf:Feature[@name='psk:PageMediaType']/psf:Property[@name='psf:SelectionType']/psf:Value"),
            L"psk:PickOne");
}

TEST_F(Provider, CapabilitiesFollowTheTicketsMedia) {
  const std::wstring ns = L"xmlns:q='" + std::wstring(kPrivateUri) + L"'";
  Doc t = ParseXml(TicketXml(FeatureXml(L"psk:PageMediaSize", L"psk:ISOA4") +
                                 FeatureXml(L"psk:PageOrientation", L"psk:Landscape") +
                                 FeatureXml(L"psk:PageMediaType", L"psk:Transparency"),
                             ns));
  ASSERT_TRUE(t);
  const ULONG before = RefCount(t.Get());
  ComPtr<IXMLDOMDocument2> caps;
  ASSERT_EQ(provider_->GetPrintCapabilities(t.Get(), caps.Put()), S_OK);
  EXPECT_EQ(RefCount(t.Get()), before);
  const std::wstring size = L"/*/psf:Property[@name='psk:PageImageableSize']";
  const std::pair<std::wstring, const wchar_t*> expected[] = {
      {size + L"/psf:Property[@name='psk:ImageableSizeWidth']", L"297000"},
      {size + L"/psf:Property[@name='psk:ImageableSizeHeight']", L"210000"},
      {size + L"/psf:Property[@name='psk:ImageableArea']/psf:Property[@name='psk:OriginWidth']", L"3000"},
      {size + L"/psf:Property[@name='psk:ImageableArea']/psf:Property[@name='psk:OriginHeight']", L"3000"},
      {size + L"/psf:Property[@name='psk:ImageableArea']/psf:Property[@name='psk:ExtentWidth']", L"291000"},
      {size + L"/psf:Property[@name='psk:ImageableArea']/psf:Property[@name='psk:ExtentHeight']", L"204000"},
  };
  for (const auto& [query, value] : expected) EXPECT_EQ(Text(caps.Get(), query + L"/psf:Value"), value) << query;

  const std::wstring quality = L"//psf:Feature[@name='psk:PageOutputQuality']/psf:Option";
  EXPECT_EQ(Text(caps.Get(), quality + L"[@name='psk:Draft']/@constrained"), L"psk:PrintTicketSettings");
  EXPECT_EQ(Text(caps.Get(), quality + L"[@name='psk:Normal']/@constrained"), L"psk:PrintTicketSettings");
  EXPECT_EQ(Text(caps.Get(), quality + L"[@name='psk:High']/@constrained"), L"psk:None");
}

// ----------------------------------------------------------------- validate

TEST_F(Provider, ValidationCompletesTicketsAndLeavesCompleteOnesAlone) {
  Doc t = ParseXml(TicketXml(FeatureXml(L"psk:PageMediaSize", L"psk:ISOA4")));
  ASSERT_TRUE(t);
  EXPECT_EQ(provider_->ValidatePrintTicket(t.Get()), kSPtConflictResolved);
  EXPECT_EQ(OptionOf(t.Get(), L"PageMediaSize"), L"psk:ISOA4");
  EXPECT_EQ(OptionOf(t.Get(), L"PageOrientation"), L"psk:Portrait");
  EXPECT_EQ(OptionOf(t.Get(), L"PageThicknessType"), L"ns0001:Regular");
  EXPECT_EQ(OptionOf(t.Get(), L"PageOutputQuality"), L"psk:High");
  // What validation wrote needs no further change.
  EXPECT_EQ(provider_->ValidatePrintTicket(t.Get()), kSPtNoConflict);

  Doc fromRecord = ToTicket(OwnRecord());
  EXPECT_EQ(provider_->ValidatePrintTicket(fromRecord.Get()), kSPtNoConflict);

  // A quality name no row knows is an error of the ticket.
  Doc bad = ParseXml(TicketXml(FeatureXml(L"psk:PageOutputQuality", L"psk:Stunning")));
  EXPECT_EQ(provider_->ValidatePrintTicket(bad.Get()), E_FAIL);
}

// ------------------------------------------------------------------ corpus

std::wstring ReadUtf8File(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  std::string bytes = ss.str();
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), w.data(), n);
  // loadXML rejects an encoding declaration that disagrees with a BSTR.
  if (w.rfind(L"<?xml", 0) == 0) w.erase(0, w.find(L"?>") + 2);
  return w;
}

// Runs the three document-taking methods on a document; the document holds
// no more references afterwards and the record comes back whole.
void Exercise(IPrintTicketProvider* provider, const std::wstring& text, const std::string& name,
              bool damaged) {
  Doc doc = ParseXml(text);
  ASSERT_TRUE(doc) << name;
  const ULONG refs = RefCount(doc.Get());

  SettingsRecord r = OwnRecord();
  r.dm.dmPaperSize = 9;
  ULONG cb = 0;
  DEVMODEW* out = nullptr;
  HRESULT hr = provider->ConvertPrintTicketToDevMode(doc.Get(), sizeof r, reinterpret_cast<DEVMODEW*>(&r), &cb, &out);
  if (SUCCEEDED(hr)) {
    ASSERT_NE(out, nullptr) << name;
    EXPECT_EQ(cb, kRecordSize);
    SettingsRecord back;
    std::memcpy(&back, out, sizeof back);
    if (damaged) EXPECT_EQ(back.dm.dmPaperSize, 9) << name << ": standard features read from a foreign namespace";
    CoTaskMemFree(out);
  } else {
    EXPECT_EQ(out, nullptr) << name;
    EXPECT_FALSE(damaged) << name << " should read as a ticket without features";
  }
  ComPtr<IXMLDOMDocument2> caps;
  hr = provider->GetPrintCapabilities(doc.Get(), caps.Put());
  if (SUCCEEDED(hr)) EXPECT_EQ(RefCount(caps.Get()), 1u) << name;
  (void)provider->ValidatePrintTicket(doc.Get());
  EXPECT_EQ(RefCount(doc.Get()), refs) << name;
}

TEST_F(Provider, PublishedDocumentsDoNotBreakAnything) {
  const auto full = qvx::test::SharedPath("corpus/tickets/full");
  int documents = 0;
  for (const auto& e : std::filesystem::directory_iterator(full)) {
    const std::string name = e.path().filename().string();
    const bool damaged = name.find("DEFECT") != std::string::npos || name.find("leading-space") != std::string::npos;
    Exercise(provider_.Get(), ReadUtf8File(e.path()), name, damaged);
    ++documents;
  }
  EXPECT_EQ(documents, 10);

  int fragments = 0, parsed = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(qvx::test::SharedPath("corpus/tickets/fragments"))) {
    if (!e.is_regular_file()) continue;
    ++fragments;
    std::wstring text = TicketXml(ReadUtf8File(e.path()));
    if (!ParseXml(text)) continue;  // broken in the documentation itself
    ++parsed;
    Exercise(provider_.Get(), text, e.path().filename().string(), false);
  }
  EXPECT_EQ(fragments, 211);
  EXPECT_GE(parsed, 190);
}

}  // namespace
}  // namespace qvx::ticket::test
