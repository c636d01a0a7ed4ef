// Description files nobody on this project wrote, and our own examples: each is
// read without fault, and what compiles survives the cache round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "description_fixture.h"
#include "test_paths.h"

namespace qvx {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> DescriptionFiles(const fs::path& root) {
  std::vector<fs::path> files;
  if (!fs::is_directory(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (entry.is_regular_file() && ext == ".ppd") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

void CheckReadsCleanly(const fs::path& path) {
  SCOPED_TRACE(path.string());
  DescriptionImagePtr stored = CompileDescription(ParseDescriptionFile(path), path);
  if (!stored) return;  // unusable (an over-long token) is a clean outcome too
  const auto* bytes = reinterpret_cast<const uint8_t*>(stored.get());
  DescriptionImagePtr loaded = AdoptImageBytes({bytes, stored->totalSize});
  ASSERT_TRUE(loaded) << "a compiled description must reload from its cache bytes";
  EXPECT_EQ(loaded->documentFeatureCount + loaded->printerFeatureCount,
            [&] {
              unsigned n = 0;
              for (const FeatureRecord* f = loaded->firstFeature.get(); f; f = f->next.get()) ++n;
              return n;
            }());
  std::vector<uint8_t> selections(loaded->printerFeatureCount);
  ResolvePrinterSelections(loaded.get(), selections);
  for (unsigned k = 0; k < kPredefinedFeatureCount; ++k) GetFeatureDefaultValue(loaded.get(), k);
}

TEST(DescriptionCorpus, SharedCorpusReadsWithoutFault) {
  const std::vector<fs::path> files = DescriptionFiles(test::SharedPath("corpus/ppd"));
  if (files.empty()) GTEST_SKIP() << "shared corpus not present";
  for (const fs::path& path : files) CheckReadsCleanly(path);
}

TEST(DescriptionCorpus, KnownCorpusValues) {
  const fs::path path = test::SharedPath("corpus/ppd/libppd/ppd_sbo_test.ppd");
  if (!fs::exists(path)) GTEST_SKIP() << "shared corpus not present";
  DescriptionImagePtr image = CompileDescription(ParseDescriptionFile(path), path);
  ASSERT_TRUE(image);
  ASSERT_TRUE(RelocateImage(image.get(), image->totalSize));
  EXPECT_STREQ(image->nickname.get(), "Test2 for CUPS");
  EXPECT_NE(GetFeature(image.get(), kFeaturePageSize), nullptr);
}

TEST(DescriptionCorpus, ExamplesReadCleanly) {
  const std::vector<fs::path> files = DescriptionFiles(test::SourcePath("examples/ppd"));
  ASSERT_GE(files.size(), 2u);
  for (const fs::path& path : files) {
    CheckReadsCleanly(path);
    EXPECT_TRUE(ParseDescriptionFile(path)) << path.string();
  }
}

}  // namespace
}  // namespace qvx
