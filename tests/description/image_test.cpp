// The example descriptions compiled: layout, lookups and option defaults as the
// settings record reads them.
#include <gtest/gtest.h>

#include <cstring>

#include "description_fixture.h"
#include "test_paths.h"

namespace qvx {
namespace {

DescriptionImagePtr CompileExample(const char* name) {
  const std::filesystem::path path = test::SourcePath(std::string("examples/ppd/") + name);
  DescriptionImagePtr image = CompileDescription(ParseDescriptionFile(path), path);
  if (image && !RelocateImage(image.get(), image->totalSize)) return nullptr;
  return image;
}

TEST(DescriptionImage, FullExampleHasEveryDriverFeature) {
  DescriptionImagePtr image = CompileExample("qvx07c.ppd");
  ASSERT_TRUE(image);
  const DescriptionImage& d = *image;
  EXPECT_EQ(d.formatVersion, 3);
  EXPECT_EQ(std::string(d.nickname.get()), "Quorvel Model 07 Colour Inkjet");
  EXPECT_EQ(d.fileVersion, 256 + 51);
  EXPECT_EQ(d.modelType, 273u);
  EXPECT_EQ(std::string(d.sleepMode.get()), "0,5,15,30");
  EXPECT_EQ(std::string(d.memorySize.get()), "16,32,64");
  EXPECT_EQ(std::string(d.jclBegin.get()), "\x1b%-12345X@PJL JOB\n");
  EXPECT_EQ(d.customPageSize, 1u);
  for (unsigned k = kFeatureMediaType; k <= kFeaturePrtArea; ++k) {
    const FeatureRecord* f = GetFeature(&d, k);
    ASSERT_NE(f, nullptr) << k;
    EXPECT_EQ(f->index, k);
    EXPECT_GE(CountOptions(f), 2u) << f->name.get();
  }
  EXPECT_EQ(GetFeature(&d, kFeatureInputSlot), nullptr);
  EXPECT_EQ(GetPrinterFeatureCount(&d), 3u);
  EXPECT_EQ(GetDocumentFeatureCount(&d) + GetPrinterFeatureCount(&d), 31u);

  // Feature positions: document features first, printer features after them.
  for (unsigned p = 0; p < 31; ++p) {
    const FeatureRecord* f = GetFeatureAtPosition(&d, p);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(GetFeatureListPosition(&d, f), p);
    EXPECT_EQ(IsPrinterFeature(f), p >= GetDocumentFeatureCount(&d));
  }
  EXPECT_EQ(GetFeatureAtPosition(&d, 31), nullptr);
}

TEST(DescriptionImage, DefaultValuesAsTheSettingsRecordReadsThem) {
  DescriptionImagePtr image = CompileExample("qvx07c.ppd");
  ASSERT_TRUE(image);
  struct Case {
    unsigned feature;
    int value;
  };
  const Case cases[] = {
      {kFeatureTray, 7},        {kFeatureCOLOR, 2},     {kFeatureMediaType, 0},
      {kFeatureCMPMODE, 9},     {kFeatureDIRMODE, 1},   {kFeatureMultiplePage, 1},
      {kFeatureQuality, -3},    {kFeatureCHALFTONE, 2}, {kFeatureDOCTYPE, 2},
      {kFeaturePageProtect, 1}, {kFeatureCAPT, 1},      {kFeatureThickness, 0},
      {kFeatureInputSlot, 0},   {kFeaturePaper, 9},
  };
  for (const Case& c : cases) EXPECT_EQ(GetFeatureDefaultValue(image.get(), c.feature), c.value) << c.feature;
  EXPECT_EQ(GetFeatureDefault(GetFeature(image.get(), kFeatureResolution)), 600u);
}

TEST(DescriptionImage, OptionLookups) {
  DescriptionImagePtr image = CompileExample("qvx07c.ppd");
  ASSERT_TRUE(image);
  const FeatureRecord* paper = GetFeature(image.get(), kFeaturePageSize);
  const int dl = FindOptionPosition(paper, "DL");
  ASSERT_GE(dl, 0);
  EXPECT_EQ(FindOptionByNameOrTranslation(paper, "Envelope DL"), dl);
  EXPECT_EQ(FindOptionByNameOrTranslation(paper, "DL"), dl);
  EXPECT_EQ(FindOptionPosition(paper, "Envelope DL"), -1);
  EXPECT_EQ(FindOptionPosition(paper, "dl"), -1);
  EXPECT_EQ(FindOptionPosition(nullptr, "DL"), -1);
  EXPECT_EQ(GetOption(paper, 1000), nullptr);

  const auto* envelope = reinterpret_cast<const PaperOption*>(GetOption(paper, dl));
  EXPECT_EQ(envelope->width, 312 * 256);
  EXPECT_EQ(envelope->height, 624 * 256);
  EXPECT_GT(envelope->area.lly, envelope->area.llx);  // envelopes keep a wider bottom margin
  const auto* borderless = reinterpret_cast<const PaperOption*>(GetOption(paper, FindOptionPosition(paper, "A4_BL")));
  EXPECT_EQ(borderless->area.llx, 0);
  EXPECT_EQ(borderless->area.urx, borderless->width);
  EXPECT_EQ(borderless->area.ury, borderless->height);

  // The Paper feature lists the same papers in the same order, then the user size.
  const FeatureRecord* codes = GetFeature(image.get(), kFeaturePaper);
  ASSERT_EQ(CountOptions(codes), CountOptions(paper) + 1);
  for (unsigned i = 0; i < CountOptions(paper); ++i)
    EXPECT_STREQ(GetOption(codes, i)->name.get(), GetOption(paper, i)->name.get());

  const FeatureRecord* memory = GetFeature(image.get(), kFeatureVMOption);
  EXPECT_EQ(reinterpret_cast<const MemoryOption*>(GetOption(memory, 0))->memory, 16384u);
}

TEST(DescriptionImage, MinimalExample) {
  DescriptionImagePtr image = CompileExample("qvx01m.ppd");
  ASSERT_TRUE(image);
  EXPECT_EQ(GetPrinterFeatureCount(image.get()), 0u);
  EXPECT_EQ(CountOptions(GetFeature(image.get(), kFeatureTray)), 1u);
  EXPECT_EQ(GetFeature(image.get(), kFeatureVMOption), nullptr);
  EXPECT_EQ(GetFeatureDefaultValue(image.get(), kFeatureDIRMODE), 0);  // absent
  EXPECT_EQ(image->constraints->count, 0);
}

TEST(DescriptionImage, StoredBlockFollowsTheLayout) {
  const std::filesystem::path path = test::SourcePath("examples/ppd/qvx07c.ppd");
  DescriptionImagePtr image = CompileDescription(ParseDescriptionFile(path), path);
  ASSERT_TRUE(image);
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.get());
  // Stored references are offsets; slots are empty until loaded.
  EXPECT_EQ(image->path.value, kDescriptionHeaderSize);
  EXPECT_LT(image->nickname.value, image->orderDependencies.value);
  EXPECT_LT(image->orderDependencies.value, image->constraints.value);
  EXPECT_LT(image->constraints.value, image->firstFeature.value);
  EXPECT_LT(image->firstFeature.value, image->firstFont.value);
  for (const auto& slot : image->featureSlots) EXPECT_EQ(slot.value, 0u);
  EXPECT_EQ(image->nickname.value % 4, 0u);
  const char16_t* storedPath = reinterpret_cast<const char16_t*>(bytes + image->path.value);
  EXPECT_EQ(storedPath[0], path.u16string()[0]);
}

}  // namespace
}  // namespace qvx
