// Reading description text: which entries are kept, which are dropped, and what
// makes a whole description unusable.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "description_fixture.h"
#include "description_parse_tree.h"

namespace qvx {
namespace {

using test::CompileText;
using test::Str;

const PaperOption* Paper(const DescriptionImage* image, const char* name) {
  const FeatureRecord* f = GetFeature(image, kFeaturePageSize);
  return reinterpret_cast<const PaperOption*>(GetOption(f, FindOptionPosition(f, name)));
}

struct ParseCase {
  const char* name;
  const char* text;
  std::function<void(const DescriptionImage&)> check;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseCases : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCases, Behaves) {
  DescriptionImagePtr image = CompileText(GetParam().text);
  ASSERT_TRUE(image);
  GetParam().check(*image);
}

const ParseCase kParseCases[] = {
    {"FirstFileVersionAndNickNameWin",
     "*FileVersion: \"1.50\"\n*FileVersion: \"2.00\"\n*NickName: \"First\"\n*NickName: \"Second\"\n",
     [](const DescriptionImage& d) {
       EXPECT_EQ(d.fileVersion, 256 + 128);
       EXPECT_EQ(Str(d.nickname.get()), "First");
     }},
    {"BadHexDropsOnlyThatEntry",
     "*NickName: \"Bad <4G> hex\"\n*NickName: \"<41>B<43 44>\"\n",
     [](const DescriptionImage& d) { EXPECT_EQ(Str(d.nickname.get()), "ABCD"); }},
    {"DuplexOpenUIIgnoredButOptionsKept",
     "*OpenUI *Duplex/Two Sided: Boolean\n*Duplex None/Off: \"1\"\n*Duplex DuplexTumble: \"3\"\n*CloseUI: *Duplex\n",
     [](const DescriptionImage& d) {
       const FeatureRecord* f = GetFeature(&d, kFeatureDuplex);
       ASSERT_NE(f, nullptr);
       EXPECT_EQ(f->uiType, UiType::PickOne);
       EXPECT_EQ(f->translation.get(), nullptr);
       EXPECT_EQ(CountOptions(f), 2u);
       EXPECT_EQ(Str(GetOption(f, 1)->invocation.get()), "3");
     }},
    {"CustomPageSizeFalseLeavesFlagClear",
     "*MaxMediaWidth: \"600\"\n*CustomPageSize False: \"x\"\n",
     [](const DescriptionImage& d) {
       EXPECT_EQ(d.customPageSize, 0u);
       EXPECT_EQ(d.customPageSizeInvocation.get(), nullptr);
     }},
    {"CustomPageSizeNeedsAMaximumMediaSize",
     "*CustomPageSize True: \"custom\"\n",
     [](const DescriptionImage& d) { EXPECT_EQ(d.customPageSize, 0u); }},
    {"CustomPageSizeWithParameters",
     "*MaxMediaHeight: \"1000\"\n*CustomPageSize True: \"custom\"\n"
     "*ParamCustomPageSize Width: 1 points 36.5 612\n"
     "*ParamCustomPageSize Height: 6 points 36 1008\n"      // order outside 1..5: dropped
     "*ParamCustomPageSize WidthOffset: 3 points 0\n"       // missing maximum: dropped
     "*ParamCustomPageSize HeightOffset: 4 real 0 1E80\n",  // a number cut at the exponent
     [](const DescriptionImage& d) {
       EXPECT_EQ(d.customPageSize, 1u);
       EXPECT_EQ(Str(d.customPageSizeInvocation.get()), "custom");
       EXPECT_EQ(d.customSize[0].order, 1u);
       EXPECT_EQ(d.customSize[0].type, 2);
       EXPECT_EQ(d.customSize[0].minimum, 36 * 256 + 128);
       EXPECT_EQ(d.customSize[0].maximum, 612 * 256);
       EXPECT_EQ(d.customSize[1].order, 0u);
       EXPECT_EQ(d.customSize[2].order, 0u);
       EXPECT_EQ(d.customSize[3].type, 1);
       EXPECT_EQ(d.customSize[3].maximum, 256);
     }},
    {"HeaderDefaultsAndWords",
     "*Protocols: PJL TBCP\n*Protocols: SIC\n*Extensions: CMYK FileSystem\n"
     "*LanguageEncoding: WindowsANSI\n*LanguageVersion: Japanese\n*TTRasterizer: Type42\n"
     "*LandscapeOrientation: Minus90\n*HWMargins: 1 2 3.5 4\n*FreeVM: \"5\"\n",
     [](const DescriptionImage& d) {
       EXPECT_EQ(d.protocols, 1 + 4 + 8);
       EXPECT_EQ(d.extensions, 2 + 8);
       EXPECT_EQ(d.colorDevice, 1u);      // CMYK implies colour
       EXPECT_EQ(d.languageEncoding, 4);  // the version does not override a known encoding
       EXPECT_EQ(d.rasterizer, 2);
       EXPECT_EQ(d.landscapeOrientation, 2);
       EXPECT_EQ(d.hwMarginsPresent, 1u);
       EXPECT_EQ(d.hwMargins[2], 3 * 256 + 128);
       EXPECT_EQ(d.freeVirtualMemory, 102400u);
       EXPECT_EQ(d.languageLevel, 1u);
       EXPECT_EQ(d.suggestedWaitTimeout, 240u);
       EXPECT_EQ(d.screenAngle, 45 * 256);
       EXPECT_EQ(d.screenFrequency, 60 * 256);
     }},
    {"SkippedLines",
     "garbage line *NickName: \"no\"\r\n*% comment *NickName: \"no\"\r\n*?NickName: \"query\"\r\n"
     "*UnknownKeyword Foo: \"x\"\n*NickName: \"multi\nline\"  trailing words\n*End\n"
     "*ModelType: \"17\"\n",
     [](const DescriptionImage& d) {
       EXPECT_EQ(Str(d.nickname.get()), "multi\nline");
       EXPECT_EQ(d.modelType, 17u);
     }},
    {"ValueKindAndOptionRules",
     "*PageSize A4: NotQuoted\n"        // needs a quoted value
     "*PageSize Letter: \"ok\"\n"
     "*ColorDevice Foo: True\n"         // must not have an option
     "*MediaType: \"0\"\n"              // must have an option
     "*DefaultPageSize: \"Letter\"\n",  // needs a string value
     [](const DescriptionImage& d) {
       const FeatureRecord* paper = GetFeature(&d, kFeaturePageSize);
       EXPECT_EQ(CountOptions(paper), 1u);
       EXPECT_EQ(d.colorDevice, 0u);
       EXPECT_EQ(GetFeature(&d, kFeatureMediaType), nullptr);
       EXPECT_EQ(paper->defaultValue, 0u);
     }},
    {"LaterTextsOfAnOptionAreIgnored",
     "*MediaType Plain/Plain Paper: \"0\"\n*MediaType Plain/Other: \"5\"\n",
     [](const DescriptionImage& d) {
       const OptionRecord* o = GetOption(GetFeature(&d, kFeatureMediaType), 0);
       EXPECT_EQ(Str(o->invocation.get()), "0");
       EXPECT_EQ(Str(o->translation.get()), "Plain Paper");
     }},
    {"InstallableGroupMakesPrinterFeatures",
     "*VMOption 8MB: \"8192\"\n"
     "*OpenGroup: InstallableOptions/Options\n*OpenGroup: InstallableOptions\n"
     "*OpenUI *Cassette/Cassette: Boolean\n*Cassette True: \"1\"\n*Cassette False: \"0\"\n"
     "*DefaultCassette: False\n*CloseUI: *Cassette\n*CloseGroup: InstallableOptions\n"
     "*CloseGroup: InstallableOptions\n"
     "*OpenUI *Finisher: PickOne\n*Finisher None: \"\"\n*CloseUI: *Finisher\n",
     [](const DescriptionImage& d) {
       EXPECT_EQ(d.documentFeatureCount, 1);
       EXPECT_EQ(d.printerFeatureCount, 2);
       const FeatureRecord* doc = GetFeatureAtPosition(&d, 0);
       EXPECT_EQ(Str(doc->name.get()), "Finisher");
       const FeatureRecord* vm = GetFeature(&d, kFeatureVMOption);
       EXPECT_TRUE(IsPrinterFeature(vm));
       EXPECT_EQ(reinterpret_cast<const MemoryOption*>(GetOption(vm, 0))->memory, 8192u);
       const FeatureRecord* cassette = GetFeatureAtPosition(&d, 2);
       EXPECT_EQ(Str(cassette->name.get()), "Cassette");
       EXPECT_EQ(cassette->index, kFeatureOther);
       EXPECT_EQ(cassette->uiType, UiType::Boolean);
       EXPECT_EQ(cassette->position, 1);
       EXPECT_EQ(cassette->defaultValue, 1u);
       EXPECT_EQ(GetFeatureListPosition(&d, cassette), 2u);
     }},
    {"JclFeatureKeepsDecodedInvocation",
     "*JCLOpenUI *JCLEconomode/Economy: Boolean\n*JCLEconomode On: \"@PJL SET ECO=ON<0A>\"\n"
     "*JCLCloseUI: *JCLEconomode\n*JCLEconomode Off: \"not in the block any more\"\n",
     [](const DescriptionImage& d) {
       const FeatureRecord* f = GetFeatureAtPosition(&d, 0);
       ASSERT_NE(f, nullptr);
       EXPECT_TRUE(f->flags & kFeatureJcl);
       EXPECT_EQ(CountOptions(f), 1u);
       EXPECT_EQ(Str(GetOption(f, 0)->invocation.get()), "@PJL SET ECO=ON\n");
     }},
    {"ResolutionDefaults",
     "*DefaultResolution: 600dpiHigh\n*Resolution 300dpi: \"a\"\n*JCLResolution 600dpi: \"<41>\"\n"
     "*SetResolution 600dpi: \"b\"\n*ResScreenFreq 600dpi: 85.5\n",
     [](const DescriptionImage& d) {
       const FeatureRecord* f = GetFeature(&d, kFeatureResolution);
       EXPECT_EQ(f->defaultValue, 600u);
       const auto* r = reinterpret_cast<const ResolutionOption*>(GetOption(f, 1));
       EXPECT_EQ(Str(r->jclInvocation.get()), "A");
       EXPECT_EQ(Str(r->setInvocation.get()), "b");
       EXPECT_EQ(r->screenFrequency, 85 * 256 + 128);
       EXPECT_EQ(d.resolutionKind, 2);
     }},
    {"ResolutionDefaultFromFirstOption",
     "*Resolution 300x300dpi: \"a\"\n*Resolution 600dpi: \"b\"\n",
     [](const DescriptionImage& d) { EXPECT_EQ(GetFeature(&d, kFeatureResolution)->defaultValue, 300u); }},
    {"ResolutionDefaultZero",
     "*DefaultResolution: 0\n*Resolution 600dpi: \"b\"\n",
     [](const DescriptionImage& d) { EXPECT_EQ(GetFeature(&d, kFeatureResolution)->defaultValue, 300u); }},
    {"PaperAreasFitThePaper",
     "*PageSize Wide: \"\"\n*PaperDimension Wide: \"100 200\"\n*ImageableArea Wide: \"5 6 150 190 120 210\"\n"
     "*PageSize Flip: \"\"\n*PaperDimension Flip: \"100 200\"\n*ImageableArea Flip: \"50 10 40 190\"\n"
     "*PageSize NoWidth: \"\"\n*PaperDimension NoWidth: \"0 200\"\n*ImageableArea NoWidth: \"1 2 3\"\n",
     [](const DescriptionImage& d) {
       const PaperOption* wide = Paper(&d, "Wide");
       EXPECT_EQ(wide->area.urx, 100 * 256);
       EXPECT_EQ(wide->area.ury, 190 * 256);
       EXPECT_EQ(wide->area.extra1, 0);  // beyond the width
       EXPECT_EQ(wide->area.extra2, 0);  // beyond the height
       const PaperOption* flip = Paper(&d, "Flip");
       EXPECT_EQ(flip->area.llx, 0);
       EXPECT_EQ(flip->area.lly, 0);
       EXPECT_EQ(flip->area.urx, 40 * 256);
       EXPECT_EQ(flip->area.ury, 200 * 256);
       const PaperOption* noWidth = Paper(&d, "NoWidth");
       EXPECT_EQ(noWidth->width, 0);
       EXPECT_EQ(noWidth->height, 0);
     }},
    {"PageRegionSwitchForAllSlots",
     "*InputSlot Upper: \"u\"\n*InputSlot Lower: \"l\"\n*RequiresPageRegion All: False\n",
     [](const DescriptionImage& d) {
       const FeatureRecord* f = GetFeature(&d, kFeatureInputSlot);
       EXPECT_EQ(f->flags & 3, kFeatureNoSlotRequiresPageRegion);
       for (unsigned i = 0; i < 2; ++i)
         EXPECT_EQ(reinterpret_cast<const InputSlotOption*>(GetOption(f, i))->requiresPageRegion, 0u);
     }},
    {"PageRegionPerSlot",
     "*InputSlot Upper: \"u\"\n*InputSlot Lower: \"l\"\n*RequiresPageRegion Lower: False\n",
     [](const DescriptionImage& d) {
       const FeatureRecord* f = GetFeature(&d, kFeatureInputSlot);
       EXPECT_EQ(reinterpret_cast<const InputSlotOption*>(GetOption(f, 0))->requiresPageRegion, 1u);
       EXPECT_EQ(reinterpret_cast<const InputSlotOption*>(GetOption(f, 1))->requiresPageRegion, 0u);
     }},
    {"ResidentFontsOnceAndKnownOnly",
     "*Font Courier: Standard \"(1)\" ROM\n*Font Courier: Standard \"(2)\" ROM\n*Font NoSuchFont: x\n",
     [](const DescriptionImage& d) {
       const FontRecord* f = d.firstFont.get();
       ASSERT_NE(f, nullptr);
       EXPECT_EQ(Str(f->name.get()), "Courier");
       EXPECT_NE(f->fontId, 0);
       EXPECT_EQ(f->next.get(), nullptr);
     }},
    {"OrderDependenciesAndConstraintsResolve",
     "*MediaType Plain: \"0\"\n*MediaType Glossy: \"2\"\n*Quality Draft: \"-1\"\n"
     "*OrderDependency: 10.5 PageSetup *MediaType\n*OrderDependency: 20 Nowhere *Quality Draft\n"
     "*OrderDependency: 30 AnySetup *Missing\n"
     "*UIConstraints: *MediaType Glossy *Quality Draft\n*UIConstraints: *MediaType Matte *Quality\n"
     "*UIConstraints: *MediaType\n",  // no second feature: dropped by the parser
     [](const DescriptionImage& d) {
       const OrderDependencyTable* order = d.orderDependencies.get();
       ASSERT_EQ(order->count, 3);
       EXPECT_EQ(order->records()[0].featurePosition, 0);
       EXPECT_EQ(order->records()[0].optionPosition, kNoOption);
       EXPECT_EQ(order->records()[0].order, 10 * 256 + 128);
       EXPECT_EQ(order->records()[0].sections, kSectionPageSetup);
       EXPECT_EQ(order->records()[1].optionPosition, 0);
       EXPECT_EQ(order->records()[1].sections, kSectionAnySetup);
       EXPECT_EQ(order->records()[2].featurePosition, kDroppedRecord);
       const ConstraintTable* constraints = d.constraints.get();
       ASSERT_EQ(constraints->count, 2);
       const ConstraintRecord& kept = constraints->records()[0];
       EXPECT_EQ(kept.feature1, 0);
       EXPECT_EQ(kept.option1, 1);
       EXPECT_EQ(kept.feature2, 1);
       EXPECT_EQ(kept.option2, 0);
       EXPECT_EQ(constraints->records()[1].feature1, kDroppedRecord);  // no option "Matte"
     }},
};

INSTANTIATE_TEST_SUITE_P(Description, ParseCases, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DescriptionParse, OverlongTokenMakesTheDescriptionUnusable) {
  const std::string forty(40, 'a');
  const std::string fortyOne(41, 'a');
  EXPECT_TRUE(ParseDescriptionBuffer(test::Bytes("*MediaType " + forty + ": \"0\"\n")));
  EXPECT_FALSE(ParseDescriptionBuffer(test::Bytes("*NickName: \"x\"\n*MediaType " + fortyOne + ": \"0\"\n")));
  EXPECT_FALSE(ParseDescriptionBuffer(test::Bytes("*" + fortyOne + ": \"0\"\n")));
  EXPECT_FALSE(ParseDescriptionBuffer(test::Bytes("*MediaType A/" + fortyOne + ": \"0\"\n")));
  // Skipped text is not tokenised.
  EXPECT_TRUE(ParseDescriptionBuffer(test::Bytes("*% " + fortyOne + "\n" + fortyOne + "\n")));
}

TEST(DescriptionParse, MissingFileFails) {
  EXPECT_FALSE(ParseDescriptionFile("no-such-description.ppd"));
}

TEST(DescriptionParse, StampIsXmodemCrc) {
  EXPECT_EQ(DescriptionStamp({}), 0);
  EXPECT_EQ(DescriptionStamp(test::Bytes("123456789")), 0x31C3);
  DescriptionImagePtr image = test::CompileText("123456789");
  ASSERT_TRUE(image);
  EXPECT_EQ(GetDescriptionStamp(image.get()), 0x31C3);
  EXPECT_EQ(GetDescriptionStamp(test::CompileText("").get()), 0);
}

TEST(DescriptionParse, Numbers) {
  struct Case {
    const char* text;
    bool ok;
    Fixed fixed;
  };
  const Case cases[] = {
      {"1.5", true, 384},      {" 2", true, 512},     {"-2.5", true, 0},
      {".5", true, 128},       {"0.001", true, 0},    {"1.99999", true, 512},
      {"1.123456", true, 288}, {"99999999999", true, INT32_MAX}, {"abc", false, 0},
      {"-", false, 0},         {"", false, 0},        {"12dpi", true, 12 * 256},
  };
  for (const Case& c : cases) {
    Fixed value = -1;
    EXPECT_EQ(ParseDescriptionFixed(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.fixed) << c.text;
    }
  }
  uint32_t integer = 7;
  EXPECT_TRUE(ParseDescriptionInteger("-15", integer));
  EXPECT_EQ(integer, 0u);
  EXPECT_TRUE(ParseDescriptionInteger("600dpi", integer));
  EXPECT_EQ(integer, 600u);
  EXPECT_FALSE(ParseDescriptionInteger("dpi", integer));
}

TEST(DescriptionParse, AnyBytesParseOrFailCleanly) {
  std::string noise;
  uint32_t seed = 12345;
  const char alphabet[] = "*\"<>:/ \t\r\nOpenUIPageSize0123456789\x80\xff";
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245 + 12345;
    noise += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
  }
  noise += "\"";  // an unterminated quoted value at the end
  DescriptionImagePtr image = CompileText(noise);
  if (image) {
    EXPECT_EQ(image->formatVersion, kDescriptionFormatVersion);
  }
}

}  // namespace
}  // namespace qvx
