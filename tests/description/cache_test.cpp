// The cache file: when it is used, when it is rebuilt, and that a corrupt or
// hostile cache is never trusted.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>

#include "description_fixture.h"
#include "test_paths.h"

namespace qvx {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, std::string_view text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
}

void WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
  WriteAll(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string Description(const char* version, const char* nickname) {
  std::string text = "*PPD-Adobe: \"4.3\"\n";
  if (version) text += std::string("*FileVersion: \"") + version + "\"\n";
  text += std::string("*NickName: \"") + nickname + "\"\n";
  text += "*MediaType Plain/Plain Paper: \"0\"\n*MediaType Glossy: \"2\"\n*DefaultMediaType: Glossy\n";
  text += "*Quality Draft: \"-1\"\n*UIConstraints: *MediaType Glossy *Quality Draft\n";
  text += "*OrderDependency: 10 AnySetup *Quality\n";
  text += "*Font Courier: Standard \"(1)\" ROM\n";
  return text;
}

class DescriptionCache : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (char& c : name) {
      if (c == '/') c = '-';
    }
    dir_ = fs::temp_directory_path() / ("qvx-description-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string Nickname(const fs::path& description) {
    DescriptionImagePtr image = LoadDescriptionImage(description);
    return image ? test::Str(image->nickname.get()) : "(no image)";
  }
  fs::path dir_;
};

TEST_F(DescriptionCache, CacheNameBesideTheDescription) {
  EXPECT_EQ(CacheFilePathFor(dir_ / "MODEL.PPD"), dir_ / "MODEL.QDD");
  EXPECT_EQ(CacheFilePathFor(dir_ / "model.v2.ppd"), dir_ / "model.v2.QDD");
  EXPECT_EQ(CacheFilePathFor(dir_ / "model"), dir_ / "model.QDD");
}

TEST_F(DescriptionCache, WrittenAndServedWhileTheVersionHolds) {
  const fs::path ppd = dir_ / "model.ppd";
  WriteAll(ppd, Description("1.10", "Original"));
  EXPECT_EQ(Nickname(ppd), "Original");
  ASSERT_TRUE(fs::exists(dir_ / "model.QDD"));

  // Same version text: the cache is still served, even though the text changed.
  WriteAll(ppd, Description("1.10", "Edited"));
  EXPECT_EQ(Nickname(ppd), "Original");

  // A new version rebuilds it.
  WriteAll(ppd, Description("1.20", "Edited"));
  EXPECT_EQ(Nickname(ppd), "Edited");
  EXPECT_EQ(Nickname(ppd), "Edited");

  DescriptionImagePtr image = LoadDescriptionImage(ppd);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->fileVersion, 256 + 51);
  ASSERT_NE(GetFeature(image.get(), kFeatureMediaType), nullptr);
  EXPECT_EQ(GetFeatureDefaultValue(image.get(), kFeatureMediaType), 2);
  EXPECT_TRUE(IsConstrained(image.get(), 0, 1, 1, 0));
}

TEST_F(DescriptionCache, VersionFoundFarIntoTheDescription) {
  // The version text lies beyond the first block that loading reads.
  const std::string padding = "*% " + std::string(20000, '-') + "\n";
  const fs::path ppd = dir_ / "model.ppd";
  WriteAll(ppd, padding + Description("1.10", "Original"));
  EXPECT_EQ(Nickname(ppd), "Original");
  WriteAll(ppd, padding + Description("1.10", "Edited"));
  EXPECT_EQ(Nickname(ppd), "Original");
  WriteAll(ppd, padding + Description("1.30", "Edited"));
  EXPECT_EQ(Nickname(ppd), "Edited");
}

TEST_F(DescriptionCache, WithoutFileVersionEveryLoadParses) {
  const fs::path ppd = dir_ / "model.ppd";
  WriteAll(ppd, Description(nullptr, "First"));
  EXPECT_EQ(Nickname(ppd), "First");
  EXPECT_TRUE(fs::exists(dir_ / "model.QDD"));
  WriteAll(ppd, Description(nullptr, "Second"));
  EXPECT_EQ(Nickname(ppd), "Second");
  // The rewritten cache holds the new build.
  DescriptionImagePtr cached = AdoptImageBytes(ReadAll(dir_ / "model.QDD"));
  ASSERT_TRUE(cached);
  EXPECT_EQ(test::Str(cached->nickname.get()), "Second");
}

TEST_F(DescriptionCache, CacheOfAnotherFileNameIsRebuilt) {
  WriteAll(dir_ / "other.ppd", Description("1.10", "Other"));
  ASSERT_EQ(Nickname(dir_ / "other.ppd"), "Other");
  WriteAll(dir_ / "model.ppd", Description("1.10", "Model"));
  fs::copy_file(dir_ / "other.QDD", dir_ / "model.QDD");
  EXPECT_EQ(Nickname(dir_ / "model.ppd"), "Model");
}

TEST_F(DescriptionCache, CacheFromAnotherFolderOrCaseIsAccepted) {
  fs::create_directories(dir_ / "a");
  fs::create_directories(dir_ / "b");
  WriteAll(dir_ / "a" / "MODEL.ppd", Description("1.10", "Built in a"));
  ASSERT_EQ(Nickname(dir_ / "a" / "MODEL.ppd"), "Built in a");
  WriteAll(dir_ / "b" / "model.ppd", Description("1.10", "Never parsed"));
  fs::copy_file(dir_ / "a" / "MODEL.QDD", dir_ / "b" / "model.QDD");
  EXPECT_EQ(Nickname(dir_ / "b" / "model.ppd"), "Built in a");
}

TEST_F(DescriptionCache, UnusableDescriptionGivesNoImageAndNoCache) {
  EXPECT_FALSE(LoadDescriptionImage(dir_ / "missing.ppd"));
  WriteAll(dir_ / "long.ppd", "*MediaType " + std::string(41, 'x') + ": \"0\"\n");
  EXPECT_FALSE(LoadDescriptionImage(dir_ / "long.ppd"));
  EXPECT_FALSE(fs::exists(dir_ / "long.QDD"));
}

// ---------------------------------------------------------------------------
// Hostile cache contents

uint64_t Read64(const std::vector<uint8_t>& b, size_t at) {
  uint64_t v;
  std::memcpy(&v, b.data() + at, 8);
  return v;
}
template <class T>
void Put(std::vector<uint8_t>& b, size_t at, T v) {
  std::memcpy(b.data() + at, &v, sizeof v);
}
template <class T>
T Get(const std::vector<uint8_t>& b, size_t at) {
  T v;
  std::memcpy(&v, b.data() + at, sizeof v);
  return v;
}

struct Mutation {
  const char* name;
  std::function<void(std::vector<uint8_t>&)> apply;
};

void PrintTo(const Mutation& m, std::ostream* os) { *os << m.name; }

constexpr size_t kFirstFeature = offsetof(DescriptionImage, firstFeature);
constexpr size_t kConstraints = offsetof(DescriptionImage, constraints);
constexpr size_t kOrder = offsetof(DescriptionImage, orderDependencies);

size_t FirstFeature(const std::vector<uint8_t>& b) { return Read64(b, kFirstFeature); }
size_t SecondFeature(const std::vector<uint8_t>& b) {
  return Read64(b, FirstFeature(b) + offsetof(FeatureRecord, next));
}

const Mutation kMutations[] = {
    {"Truncated", [](auto& b) { b.resize(b.size() - 4); }},
    {"SizeFieldTooLarge", [](auto& b) { Put<uint32_t>(b, 0, static_cast<uint32_t>(b.size() + 8)); }},
    {"OtherFormatVersion", [](auto& b) { Put<uint16_t>(b, offsetof(DescriptionImage, formatVersion), 2); }},
    {"NicknameBeyondTheBlock", [](auto& b) { Put<uint64_t>(b, offsetof(DescriptionImage, nickname), b.size() + 100); }},
    {"NicknameAtTheLastByte", [](auto& b) { Put<uint64_t>(b, offsetof(DescriptionImage, nickname), b.size() - 1); }},
    {"NicknameInsideTheHeader", [](auto& b) { Put<uint64_t>(b, offsetof(DescriptionImage, nickname), 16); }},
    {"FeatureBeyondTheBlock", [](auto& b) { Put<uint64_t>(b, kFirstFeature, b.size() - 8); }},
    {"FeatureHugeOffset", [](auto& b) { Put<uint64_t>(b, kFirstFeature, ~0ull - 3); }},
    {"FeatureMisaligned", [](auto& b) { Put<uint64_t>(b, kFirstFeature, FirstFeature(b) + 1); }},
    {"FeatureListCycle",
     [](auto& b) { Put<uint64_t>(b, SecondFeature(b) + offsetof(FeatureRecord, next), FirstFeature(b)); }},
    {"OptionPointsToItself",
     [](auto& b) {
       const uint64_t o = Read64(b, FirstFeature(b) + offsetof(FeatureRecord, firstOption));
       Put<uint64_t>(b, o + offsetof(OptionRecord, next), o);
     }},
    {"UnterminatedLastText",
     [](auto& b) {  // the font's value text runs to the end of the block
       for (size_t i = b.size() - 12; i < b.size(); ++i) b[i] = 'x';
     }},
    {"PathUnterminated",
     [](auto& b) {
       for (size_t i = kDescriptionHeaderSize; i < b.size(); ++i) b[i] = 'x';
     }},
    {"FeatureCountTooHigh", [](auto& b) { Put<uint16_t>(b, offsetof(DescriptionImage, documentFeatureCount), 200); }},
    {"FeatureCountTooLow", [](auto& b) { Put<uint16_t>(b, offsetof(DescriptionImage, documentFeatureCount), 1); }},
    {"HugeConstraintCount", [](auto& b) { Put<uint16_t>(b, Read64(b, kConstraints), 0xFFFF); }},
    {"ConstraintRecordSize", [](auto& b) { Put<uint16_t>(b, Read64(b, kConstraints) + 2, 4); }},
    {"ConstraintNamesMissingFeature", [](auto& b) { Put<uint16_t>(b, Read64(b, kConstraints) + 4 + 4, 40); }},
    {"HugeOrderDependencyCount", [](auto& b) { Put<uint16_t>(b, Read64(b, kOrder), 0x8000); }},
    {"OrderDependencyNamesMissingFeature", [](auto& b) { Put<uint16_t>(b, Read64(b, kOrder) + 4, 7); }},
    {"WrongOptionSize", [](auto& b) { Put<uint32_t>(b, FirstFeature(b) + offsetof(FeatureRecord, optionSize), 112); }},
    {"FeatureIndexOutOfRange", [](auto& b) { Put<uint16_t>(b, FirstFeature(b) + offsetof(FeatureRecord, index), 40); }},
    {"DuplicateFeatureIndex",
     [](auto& b) {
       const auto first = Get<uint16_t>(b, FirstFeature(b) + offsetof(FeatureRecord, index));
       Put<uint16_t>(b, SecondFeature(b) + offsetof(FeatureRecord, index), first);
     }},
    {"DefaultBeyondTheOptions",
     [](auto& b) { Put<uint64_t>(b, FirstFeature(b) + offsetof(FeatureRecord, defaultValue), 9); }},
    {"PrinterFlagOutOfOrder",
     [](auto& b) { Put<uint16_t>(b, FirstFeature(b) + offsetof(FeatureRecord, printerFeature), 1); }},
};

class HostileCache : public DescriptionCache, public ::testing::WithParamInterface<Mutation> {};

TEST_P(HostileCache, IsRejectedAndRebuilt) {
  const fs::path ppd = dir_ / "model.ppd";
  WriteAll(ppd, Description("1.10", "Fresh"));
  ASSERT_EQ(Nickname(ppd), "Fresh");
  std::vector<uint8_t> block = ReadAll(dir_ / "model.QDD");
  ASSERT_TRUE(AdoptImageBytes(block));  // the unmodified cache is sound

  const size_t soundSize = block.size();
  GetParam().apply(block);
  EXPECT_FALSE(AdoptImageBytes(block));

  // Through the loader: even a cache that claims the right size and version is
  // rejected, the description parsed again and the cache rewritten.
  if (block.size() != soundSize) Put<uint32_t>(block, 0, static_cast<uint32_t>(block.size()));
  WriteAll(dir_ / "model.QDD", block);
  WriteAll(ppd, Description("1.10", "Reparsed"));
  EXPECT_EQ(Nickname(ppd), "Reparsed");
  EXPECT_TRUE(AdoptImageBytes(ReadAll(dir_ / "model.QDD")));
}

INSTANTIATE_TEST_SUITE_P(Description, HostileCache, ::testing::ValuesIn(kMutations),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostileCacheBytes, EveryTruncationAndByteFlipIsHandled) {
  const std::vector<uint8_t> block = test::StoredBlock(Description("1.10", "Flip"));
  ASSERT_FALSE(block.empty());
  for (size_t size = 0; size < block.size(); size += 7) {
    EXPECT_FALSE(AdoptImageBytes({block.data(), size})) << size;
  }
  // Damage to any byte is either harmless or rejected; whatever loads keeps every
  // reference inside its own block.
  for (size_t at = 0; at < block.size(); ++at) {
    std::vector<uint8_t> damaged = block;
    damaged[at] ^= 0x5A;
    DescriptionImagePtr image = AdoptImageBytes(damaged);
    if (!image) continue;
    const auto* begin = reinterpret_cast<const uint8_t*>(image.get());
    const auto* end = begin + image->totalSize;
    auto inside = [&](const void* p) {
      return p == nullptr || (static_cast<const uint8_t*>(p) >= begin && static_cast<const uint8_t*>(p) < end);
    };
    for (const FeatureRecord* f = image->firstFeature.get(); f; f = f->next.get()) {
      ASSERT_TRUE(inside(f)) << at;
      ASSERT_TRUE(inside(f->name.get())) << at;
      for (const OptionRecord* o = f->firstOption.get(); o; o = o->next.get()) {
        ASSERT_TRUE(inside(o)) << at;
        ASSERT_TRUE(inside(o->invocation.get())) << at;
      }
    }
  }
}

}  // namespace
}  // namespace qvx
