// The schema document layer against Wine's MSXML 6, and the record merge of
// foreign settings records.
#include <climits>

#include "media_size_converter.h"
#include "print_ticket_provider.h"
#include "resolution_converter.h"
#include "schema_document.h"
#include "ticket_test_support.h"

namespace qvx::ticket::test {
namespace {

using DocumentLayer = ComTest;

TEST_F(DocumentLayer, UsesThePrefixesTheTicketDeclares) {
  Doc doc = ParseXml(
      L"<f:PrintTicket xmlns:f='http://schemas.microsoft.com/windows/2003/08/printing/printschemaframework' "
      L"xmlns:k='http://schemas.microsoft.com/windows/2003/08/printing/printschemakeywords' version='1'>"
      L"<f:Feature name='k:PageMediaSize'><f:Option name='k:ISOA4'>"
      L"<f:ScoredProperty name='k:MediaSizeWidth'><f:Value>210000</f:Value></f:ScoredProperty>"
      L"</f:Option></f:Feature></f:PrintTicket>");
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, false, doc.Get());
  EXPECT_EQ(sd.FrameworkPrefix(), L"f:");
  EXPECT_EQ(sd.KeywordPrefix(), L"k:");
  EXPECT_FALSE(sd.PrivateDeclared());

  std::wstring option;
  bool isPrivate = true;
  EXPECT_EQ(sd.GetFeatureOption(sd.KeywordPrefix(), L"PageMediaSize", option, &isPrivate), S_OK);
  EXPECT_EQ(option, L"ISOA4");
  EXPECT_FALSE(isPrivate);
  int width = 0;
  EXPECT_EQ(sd.GetScoredPropertyInteger(L"PageMediaSize", L"MediaSizeWidth", width), S_OK);
  EXPECT_EQ(width, 210000);
  Node root;
  EXPECT_EQ(sd.GetRoot(root), S_OK);

  // Elements built into it carry the document's prefixes.
  Element feature, optionElement;
  ASSERT_EQ(sd.CreateFeatureWithOption(false, L"X", false, L"Y", feature, optionElement), S_OK);
  Bstr name;
  feature->get_nodeName(name.Put());
  EXPECT_EQ(name.View(), L"f:Feature");
  std::wstring optionName;
  EXPECT_EQ(CSchemaDocument::GetAttribute(optionElement.Get(), L"name", optionName), S_OK);
  EXPECT_EQ(optionName, L"k:Y");
  // Values need the schema-instance prefix, which this ticket lacks.
  EXPECT_EQ(sd.CreatePickOneFeature(L"X", L"", feature), E_FAIL);
}

TEST_F(DocumentLayer, DeclaresThePrivateNamespaceUnderAFreePrefix) {
  struct Case {
    std::wstring extraNs;
    std::wstring expected;
  } cases[] = {
      {L"", L"ns0001:"},
      {L"xmlns:ns0001='urn:someone-else'", L"ns0002:"},
  };
  for (const Case& c : cases) {
    Doc doc = ParseXml(TicketXml(L"", c.extraNs));
    ASSERT_TRUE(doc);
    {
      CSchemaDocument reader(L"PrintTicket", kPrivateUri, false, doc.Get());
      EXPECT_FALSE(reader.PrivateDeclared());
      EXPECT_TRUE(reader.PrivatePrefix().empty());
    }
    CSchemaDocument declaring(L"PrintTicket", kPrivateUri, true, doc.Get());
    EXPECT_TRUE(declaring.PrivateDeclared());
    EXPECT_EQ(declaring.PrivatePrefix(), c.expected);
    // The declaration is in the document: a later view finds it.
    CSchemaDocument later(L"PrintTicket", kPrivateUri, false, doc.Get());
    EXPECT_EQ(later.PrivatePrefix(), c.expected);
  }
}

TEST_F(DocumentLayer, APreferredPrefixBoundElsewhereIsNotTakenOver) {
  Doc doc = ParseXml(std::wstring(L"<psf:PrintTicket ") + kPsf + L" xmlns:psk='urn:not-keywords' version='1'>"
                     L"<psf:Feature name='psk:Mine'/></psf:PrintTicket>");
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, true, doc.Get());
  EXPECT_EQ(sd.KeywordPrefix(), L"ns0001:");
  EXPECT_EQ(sd.XsiPrefix(), L"xsi:");
  EXPECT_EQ(sd.PrivatePrefix(), L"ns0002:");
  CSchemaDocument later(L"PrintTicket", L"urn:not-keywords", false, doc.Get());
  EXPECT_EQ(later.PrivatePrefix(), L"psk:");
}

TEST_F(DocumentLayer, StripsOnlyKnownPrefixes) {
  Doc doc = ParseXml(TicketXml(L""));
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, true, doc.Get());
  ASSERT_EQ(sd.PrivatePrefix(), L"ns0001:");
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
    bool isPrivate;
  } cases[] = {
      {L"psk:Collated", L"Collated", false},
      {L"ns0001:Auto", L"Auto", true},
      {L"other:Auto", L"other:Auto", false},
      {L"Plain", L"Plain", false},
  };
  for (const Case& c : cases) {
    bool isPrivate = !c.isPrivate;
    EXPECT_EQ(sd.StripPrefix(c.in, &isPrivate), c.out) << c.in;
    EXPECT_EQ(isPrivate, c.isPrivate) << c.in;
  }
  // Without the flag a private prefix stays.
  EXPECT_EQ(sd.StripPrefix(L"ns0001:Auto", nullptr), L"ns0001:Auto");
}

TEST_F(DocumentLayer, ReadsOptionsFromNamesTextAndOptionNameProperties) {
  Doc doc = ParseXml(TicketXml(
      L"<psf:Feature name='psk:A'><psf:Option>  psk:Text </psf:Option></psf:Feature>"
      L"<psf:Feature name='psk:B'><psf:ScoredProperty name='psk:OptionName'>"
      L"<psf:Value xsi:type='xsd:string'>psk:ByProperty</psf:Value></psf:ScoredProperty></psf:Feature>"
      L"<psf:Feature name='psk:C'><psf:Feature name='psk:Sub'><psf:Option name='psk:Inner'/>"
      L"</psf:Feature></psf:Feature>"));
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, false, doc.Get());
  std::wstring option;
  EXPECT_EQ(sd.GetFeatureOption(L"psk:", L"A", option, nullptr), S_OK);
  EXPECT_EQ(option, L"Text");
  EXPECT_EQ(sd.GetFeatureOption(L"psk:", L"B", option, nullptr), S_OK);
  EXPECT_EQ(option, L"ByProperty");
  EXPECT_EQ(sd.GetSubFeatureOption(L"psk:", L"C", L"psk:", L"Sub", option, nullptr), S_OK);
  EXPECT_EQ(option, L"Inner");
  EXPECT_EQ(sd.GetFeatureOption(L"psk:", L"Missing", option, nullptr), kENotFound);
  // A private lookup in a ticket without the private namespace finds nothing.
  EXPECT_EQ(sd.GetFeatureOption(sd.PrivatePrefix(), L"A", option, nullptr), kENotFound);
}

TEST_F(DocumentLayer, ValuesComeThroughParameterRefsAndParseAsLeadingIntegers) {
  Doc doc = ParseXml(TicketXml(
      L"<psf:Feature name='psk:PageMediaSize'><psf:Option name='psk:CustomMediaSize'>"
      L"<psf:ScoredProperty name='psk:MediaSizeWidth'><psf:ParameterRef name='psk:W'/></psf:ScoredProperty>"
      L"</psf:Option></psf:Feature>"
      L"<psf:ParameterInit name='psk:V'><psf:Value>1</psf:Value></psf:ParameterInit>"
      L"<psf:ParameterInit name='psk:W'><psf:Value xsi:type='xsd:integer'>123456</psf:Value></psf:ParameterInit>"));
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, false, doc.Get());
  int v = 0;
  EXPECT_EQ(sd.GetScoredPropertyInteger(L"PageMediaSize", L"MediaSizeWidth", v), S_OK);
  EXPECT_EQ(v, 123456);
  EXPECT_EQ(sd.GetScoredPropertyInteger(L"PageMediaSize", L"MediaSizeHeight", v), kENotFound);

  struct Case {
    const wchar_t* text;
    int value;
  } cases[] = {{L"  -12abc", -12}, {L"abc", 0}, {L"+7", 7}, {L"99999999999", INT_MAX},
               {L"-99999999999", INT_MIN}};
  for (const Case& c : cases) {
    Doc d = ParseXml(TicketXml(std::wstring(L"<psf:ParameterInit name='psk:P'><psf:Value>") +
                               c.text + L"</psf:Value></psf:ParameterInit>"));
    ASSERT_TRUE(d);
    CSchemaDocument s(L"PrintTicket", kPrivateUri, false, d.Get());
    int got = 1;
    EXPECT_EQ(s.GetIntegerValue(s.ParameterInitQuery(L"psk:", L"P"), got), S_OK);
    EXPECT_EQ(got, c.value) << c.text;
  }
}

TEST_F(DocumentLayer, RemoveFeatureTakesTheParameterInitsItsRefsName) {
  Doc doc = ParseXml(TicketXml(
      L"<psf:Feature name='psk:PageMediaSize'><psf:Option name='psk:CustomMediaSize'>"
      L"<psf:ScoredProperty name='psk:MediaSizeWidth'><psf:ParameterRef name='psk:PageMediaSizeMediaSizeWidth'/>"
      L"</psf:ScoredProperty></psf:Option></psf:Feature>"
      L"<psf:Feature name='psk:PageMediaSize'><psf:Option name='psk:ISOA4'/></psf:Feature>"
      L"<psf:ParameterInit name='psk:PageMediaSizeMediaSizeWidth'><psf:Value>1</psf:Value></psf:ParameterInit>"
      L"<psf:ParameterInit name='psk:JobCopiesAllDocuments'><psf:Value>2</psf:Value></psf:ParameterInit>"));
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, false, doc.Get());
  EXPECT_EQ(sd.RemoveFeature(L"PageMediaSize"), S_OK);
  EXPECT_EQ(Count(doc.Get(), L"//psf:Feature"), 0);
  EXPECT_EQ(Count(doc.Get(), L"//psf:ParameterInit[@name='psk:PageMediaSizeMediaSizeWidth']"), 0);
  EXPECT_EQ(Count(doc.Get(), L"//psf:ParameterInit[@name='psk:JobCopiesAllDocuments']"), 1);
  EXPECT_EQ(sd.RemoveParameterInit(L"Absent"), S_FALSE);
}

TEST_F(DocumentLayer, BuildsParameterDefsWithTheirChildrenInOrder) {
  Doc doc = ParseXml(TicketXml(L""));
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, false, doc.Get());
  Node root;
  ASSERT_EQ(sd.GetRoot(root), S_OK);
  Element withMultiple, without;
  ASSERT_EQ(sd.CreateIntegerParameterDef(L"A", false, L"", 5, 1, 9, 2, L"copies", withMultiple), S_OK);
  ASSERT_EQ(sd.CreateIntegerParameterDef(L"B", false, L"Shown", 5, 1, 9, 0, L"copies", without), S_OK);
  ASSERT_EQ(CSchemaDocument::Append(root, withMultiple), S_OK);
  ASSERT_EQ(CSchemaDocument::Append(root, without), S_OK);

  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:A']/psf:Property[1]/@name"), L"psf:DataType");
  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:A']/psf:Property[1]/psf:Value"), L"xsd:integer");
  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:A']/psf:Property[@name='psf:MaxValue']/psf:Value"), L"9");
  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:A']/psf:Property[@name='psf:Multiple']/psf:Value"), L"2");
  EXPECT_EQ(Count(doc.Get(), L"//psf:ParameterDef[@name='psk:B']/psf:Property[@name='psf:Multiple']"), 0);
  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:B']/psf:Property[last()]/@name"), L"psk:DisplayName");
  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:B']/psf:Property[@name='psf:Mandatory']/psf:Value"),
            L"psk:Conditional");
  // Values carry their schema type (matched by name: the DOM in use keeps no
  // namespace on attributes set in memory).
  EXPECT_EQ(Text(doc.Get(), L"//psf:ParameterDef[@name='psk:A']/psf:Property[@name='psf:MinValue']"
                            L"/psf:Value/@*[name()='xsi:type']"),
            L"xsd:integer");
}

TEST_F(DocumentLayer, ADocumentInAnotherNamespaceReadsAsEmpty) {
  // The framework namespace with https: is not the framework namespace.
  Doc doc = ParseXml(
      L"<psf:PrintTicket xmlns:psf='https://schemas.microsoft.com/windows/2003/08/printing/printschemaframework' "
      L"xmlns:psk='https://schemas.microsoft.com/windows/2003/08/printing/printschemakeywords'>"
      L"<psf:Feature name='psk:PageMediaSize'><psf:Option name='psk:ISOA4'/></psf:Feature></psf:PrintTicket>");
  ASSERT_TRUE(doc);
  CSchemaDocument sd(L"PrintTicket", kPrivateUri, true, doc.Get());
  Node root;
  EXPECT_EQ(sd.GetRoot(root), kENotFound);
  EXPECT_EQ(sd.FeatureExists(L"PageMediaSize"), kENotFound);
  EXPECT_FALSE(sd.PrivateDeclared());
}

TEST_F(DocumentLayer, ANullDocumentThrows) {
  try {
    CSchemaDocument sd(L"PrintTicket", kPrivateUri, false, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const CXDException& e) {
    EXPECT_EQ(e.Result(), kEPending);
  }
}

// ------------------------------------------------------------ foreign merge

std::vector<uint8_t> PrinterDefault() {
  SettingsRecord r = OwnRecord();
  r.dm.dmPaperSize = 9;
  r.customWidth = 1234;
  std::vector<uint8_t> bytes(sizeof r + 64, 0xEE);  // followed by other data
  std::memcpy(bytes.data(), &r, sizeof r);
  return bytes;
}

TEST(ForeignRecord, TakesThePublicPartFromTheCallerAndKeepsThePrintersSizes) {
  struct Case {
    ULONG incomingSize;
    uint16_t incomingDmSize;
    size_t expectedTaken;
  } cases[] = {
      {220, 220, 220},  // an application's DEVMODEW
      {400, 300, 220},  // another driver's larger public part
      {220, 100, 100},
      {60, 220, 60},    // shorter than the size field: what is there
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> incoming(c.incomingSize, 0x5A);
    if (c.incomingSize >= 70) std::memcpy(incoming.data() + 68, &c.incomingDmSize, 2);
    uint8_t out[kRecordSize];
    ASSERT_EQ(MergeForeignRecord(PrinterDefault(), c.incomingSize, incoming.data(), out), S_OK);
    SettingsRecord r;
    std::memcpy(&r, out, sizeof r);
    EXPECT_EQ(r.dm.dmSize, kPublicSize);
    EXPECT_EQ(r.dm.dmDriverExtra, kPrivateSize);
    EXPECT_EQ(r.signature, kSignature);
    EXPECT_EQ(r.customWidth, 1234);
    EXPECT_EQ(out[c.expectedTaken - 1], 0x5A) << c.incomingSize;
    if (c.expectedTaken < 220)
      EXPECT_NE(out[c.expectedTaken], 0x5A) << c.incomingSize;
  }
}

TEST(ForeignRecord, CopiesNoMoreThanThePrintersRecord) {
  // A printer record shorter than ours: the bytes after it are not copied.
  SettingsRecord r = OwnRecord();
  r.dm.dmDriverExtra = 100;
  std::vector<uint8_t> bytes(sizeof r, 0xEE);
  std::memcpy(bytes.data(), &r, 320);
  uint8_t out[kRecordSize];
  ASSERT_EQ(MergeForeignRecord(bytes, 0, nullptr, out), S_OK);
  EXPECT_EQ(out[319], bytes[319]);
  EXPECT_EQ(out[320], 0);
  EXPECT_EQ(MergeForeignRecord(std::span<const uint8_t>(), 0, nullptr, out), E_INVALIDARG);
}

// A record whose private part ends at an inaccessible page: a converter that
// reads past the private size it was given faults.
TEST_F(DocumentLayer, ConvertersReadNoFurtherThanThePrivateSizeTheyAreGiven) {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  const size_t page = si.dwPageSize;
  auto* base = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(base, nullptr);
  DWORD old;
  ASSERT_TRUE(VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
  const ULONG privateSize = 8;
  uint8_t* record = base + page - kPublicSize - privateSize;
  SettingsRecord own = OwnRecord();
  std::memcpy(record, &own, kPublicSize + privateSize);

  CMediaSizeConverter media(kPrivateUri);
  CResolutionConverter resolution(kPrivateUri);
  for (CFeatureConverter* c : std::initializer_list<CFeatureConverter*>{&media, &resolution}) {
    Doc ticket = ParseXml(TicketXml(L"", std::wstring(L"xmlns:q='") + kPrivateUri + L"'"));
    EXPECT_EQ(c->SettingsToTicket(nullptr, kPublicSize, record, privateSize, record + kPublicSize, ticket.Get()), S_OK);
    EXPECT_EQ(c->TicketToSettings(nullptr, ticket.Get(), kPublicSize, record, privateSize, record + kPublicSize),
              E_INVALIDARG);
    EXPECT_EQ(c->SettingsToTicket(nullptr, kPublicSize, record, 0, record + kPublicSize, ticket.Get()), E_INVALIDARG);
  }
  VirtualFree(base, 0, MEM_RELEASE);
}

// The provider with a printer whose default record is the one above.
HRESULT FakePrinterRecords(HANDLE printer, std::vector<uint8_t>& record) {
  if (printer != reinterpret_cast<HANDLE>(0x5150)) return E_INVALIDARG;
  SettingsRecord r = OwnRecord();
  r.mediaType = 1;  // Inkjet
  r.customWidth = 1234;
  record.assign(reinterpret_cast<uint8_t*>(&r), reinterpret_cast<uint8_t*>(&r) + sizeof r);
  return S_OK;
}

class ForeignProvider : public DocumentLayer {
 protected:
  void SetUp() override {
    DocumentLayer::SetUp();
    provider_ = ComPtr<IPrintTicketProvider>::Attach(new CPrintTicketProvider(FakePrinterRecords));
    ShimOptions options;
    DWORD flags;
    INT count;
    BSTR* namespaces;
    ASSERT_EQ(provider_->BindPrinter(reinterpret_cast<HANDLE>(0x5150), 1, &options, &flags, &count,
                                     &namespaces),
              S_OK);
  }
  void TearDown() override {
    provider_.Reset();
    DocumentLayer::TearDown();
  }
  ComPtr<IPrintTicketProvider> provider_;
};

TEST_F(ForeignProvider, ApplicationRecordsGainThePrintersPrivatePart) {
  struct Case {
    ULONG size;
    uint16_t dmSize;
  } cases[] = {{220, 220}, {400, 300}};
  for (const Case& c : cases) {
    std::vector<uint8_t> in(c.size, 0);
    DevModeW dm{};
    dm.dmSpecVersion = 0x0401;
    dm.dmSize = c.dmSize;
    dm.dmPaperSize = 9;
    dm.dmOrientation = 2;
    std::memcpy(in.data(), &dm, sizeof dm);
    in[219] = 0x77;  // last byte of the public part
    std::fill(in.begin() + 220, in.end(), 0xAB);  // another driver's private bytes

    Doc ticket = ParseXml(TicketXml(L""));
    ULONG cb = 0;
    DEVMODEW* out = nullptr;
    ASSERT_EQ(provider_->ConvertPrintTicketToDevMode(ticket.Get(), c.size,
                                                     reinterpret_cast<DEVMODEW*>(in.data()), &cb, &out),
              S_OK);
    ASSERT_EQ(cb, kRecordSize);
    SettingsRecord r;
    std::memcpy(&r, out, sizeof r);
    CoTaskMemFree(out);
    EXPECT_EQ(r.dm.dmSize, kPublicSize);
    EXPECT_EQ(r.dm.dmDriverExtra, kPrivateSize);
    EXPECT_EQ(r.dm.dmDriverVersion, kTicketDriverVersion);
    EXPECT_EQ(reinterpret_cast<uint8_t*>(&r)[219], 0x77);
    EXPECT_EQ(r.signature, kSignature) << "private part not the printer's";
    EXPECT_EQ(r.customWidth, 1234);
    EXPECT_EQ(r.dm.dmPaperSize, 9);
    EXPECT_EQ(r.dm.dmOrientation, 2);

    ASSERT_EQ(provider_->ConvertDevModeToPrintTicket(c.size, reinterpret_cast<DEVMODEW*>(in.data()),
                                                     ticket.Get()),
              S_OK);
    EXPECT_EQ(OptionOf(ticket.Get(), L"PageMediaSize"), L"psk:ISOA4");
    EXPECT_EQ(OptionOf(ticket.Get(), L"PageMediaType"), L"ns0001:Inkjet");
  }
}

}  // namespace
}  // namespace qvx::ticket::test
