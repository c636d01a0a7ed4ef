#include <gtest/gtest.h>

#include <algorithm>

#include "language_text.h"

namespace qvx::lang {
namespace {

// Ranges of string ids the driver core reads from the language library.
TEST(LanguageText, HasEveryStringTheCoreReads) {
  std::vector<uint32_t> ids = {2113, 8109, 65280};
  auto range = [&](uint32_t first, uint32_t last) {
    for (uint32_t id = first; id <= last; ++id) ids.push_back(id);
  };
  for (uint32_t offset : {0u, 20u}) {  // paper names and their display texts
    range(1200 + offset, 1215 + offset);
    range(1300 + offset, 1312 + offset);
    range(1340 + offset, 1347 + offset);
  }
  range(1240, 1252);  // media
  range(1280, 1284);
  range(1270, 1273);  // paper sources
  range(8205, 8216);  // built-in profile names
  for (uint32_t id : ids) {
    const auto text = FindLanguageString(id);
    ASSERT_TRUE(text.has_value()) << id;
    EXPECT_FALSE(text->empty()) << id;
  }
}

TEST(LanguageText, CodesAndDefaultsTheCoreCompares) {
  EXPECT_EQ(FindLanguageString(2113), u"USA");
  EXPECT_EQ(FindLanguageString(8109), u"ENG");
  EXPECT_EQ(FindLanguageString(65280), u"Arial");
  EXPECT_EQ(FindLanguageString(1200), u"A4");
  EXPECT_EQ(FindLanguageString(1220), u"A4 210 \u00D7 297 mm");  // UTF-8 source survives
  EXPECT_FALSE(FindLanguageString(1).has_value());
  EXPECT_FALSE(FindLanguageString(1253).has_value());
}

TEST(LanguageText, ProfileNamesFitTheirEightBitField) {
  // The preset names are stored as 8-bit text of at most 29 characters.
  for (uint32_t id = 8205; id <= 8216; ++id) {
    const auto text = *FindLanguageString(id);
    EXPECT_LE(text.size(), 29u) << id;
    EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) << id;
  }
}

TEST(LanguageText, TableIsSortedAndUnique) {
  const auto table = LanguageTable();
  ASSERT_FALSE(table.empty());
  EXPECT_TRUE(std::adjacent_find(table.begin(), table.end(), [](const LanguageEntry& a, const LanguageEntry& b) {
                return a.id >= b.id;
              }) == table.end());
}

}  // namespace
}  // namespace qvx::lang
