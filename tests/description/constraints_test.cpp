// Constraint services on a small description: two document features and three
// printer features.
#include <gtest/gtest.h>

#include <array>

#include "description_fixture.h"

namespace qvx {
namespace {

// Positions: MediaType 0, Quality 1 (document); Cassette 2, Memory 3, Card 4 (printer).
constexpr const char* kText = R"(*MediaType Plain: "0"
*MediaType Glossy: "2"
*MediaType Film: "4"
*DefaultMediaType: Plain
*Quality Draft: "-1"
*Quality None: "0"
*Quality Fine: "-4"
*OpenGroup: InstallableOptions
*OpenUI *Cassette: PickOne
*Cassette Missing: "0"
*Cassette Fitted: "1"
*DefaultCassette: Missing
*CloseUI: *Cassette
*VMOption 16MB: "16384"
*VMOption 32MB: "32768"
*DefaultVMOption: 16MB
*OpenUI *Card: PickOne
*Card False: "0"
*Card True: "1"
*DefaultCard: True
*CloseUI: *Card
*CloseGroup: InstallableOptions
*UIConstraints: *MediaType Glossy *Quality Draft
*UIConstraints: *MediaType Film *Quality
*UIConstraints: *Cassette Missing *MediaType Film
*UIConstraints: *Card True *VMOption 16MB
*UIConstraints: *MediaType Nothing *Quality Draft
)";

class Constraints : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = test::CompileText(kText);
    ASSERT_TRUE(image_);
    ASSERT_EQ(image_->documentFeatureCount, 2);
    ASSERT_EQ(image_->printerFeatureCount, 3);
  }
  DescriptionImagePtr image_;
};

TEST_F(Constraints, MatchInTheGivenOrderOnly) {
  const DescriptionImage* d = image_.get();
  EXPECT_TRUE(IsConstrained(d, 0, 1, 1, 0));
  EXPECT_FALSE(IsConstrained(d, 1, 0, 0, 1));  // not the other way round
  EXPECT_FALSE(IsConstrained(d, 0, 0, 1, 0));
  EXPECT_TRUE(IsConstrained(d, 2, 0, 0, 2));
  EXPECT_FALSE(IsConstrained(d, 2, 1, 0, 2));
}

TEST_F(Constraints, AnyOptionExceptTheOffOptions) {
  const DescriptionImage* d = image_.get();
  EXPECT_TRUE(IsConstrained(d, 0, 2, 1, 0));   // Draft
  EXPECT_FALSE(IsConstrained(d, 0, 2, 1, 1));  // "None" is never constrained by "any"
  EXPECT_TRUE(IsConstrained(d, 0, 2, 1, 2));   // Fine
  EXPECT_TRUE(IsConstrained(d, 0, 2, 1, kNoOption));
  EXPECT_TRUE(IsConstrained(d, 0, 2, 1, 77));  // an option the feature does not have
  EXPECT_FALSE(IsConstrained(nullptr, 0, 2, 1, 0));
}

TEST_F(Constraints, DroppedRecordsNeverMatch) {
  const ConstraintTable* t = image_->constraints.get();
  ASSERT_EQ(t->count, 5);
  EXPECT_EQ(t->records()[4].feature1, kDroppedRecord);
  EXPECT_FALSE(IsConstrained(image_.get(), kDroppedRecord, 0, 0, 0));
}

TEST_F(Constraints, FindConflictAmongPrinterFeatures) {
  const std::array<uint8_t, 3> printer = {0, 0, 0};   // Missing, 16MB, False
  const std::array<uint8_t, 3> withCard = {0, 0, 1};  // ... Card True
  // Candidate: VMOption (printer position 1).
  EXPECT_EQ(FindConflict(image_.get(), printer, {}, 1, 0), 0u);
  EXPECT_EQ(FindConflict(image_.get(), withCard, {}, 1, 0), ((2u | 0x100) << 8) | 1);
  EXPECT_EQ(FindConflict(image_.get(), withCard, {}, 1, 1), 0u);
}

TEST_F(Constraints, FindConflictForADocumentSelection) {
  const std::array<uint8_t, 3> printer = {1, 0, 0};  // cassette fitted
  std::array<uint8_t, 2> document = {1, 0};          // Glossy, Draft
  // Candidate Quality Draft against MediaType Glossy.
  EXPECT_EQ(FindConflict(image_.get(), printer, document, 1, 0), ((0u | 0x200) << 8) | 1);
  // Unselected document features are not checked.
  document[0] = kNoOption;
  EXPECT_EQ(FindConflict(image_.get(), printer, document, 1, 0), 0u);
  // Candidate MediaType Film against the printer's missing cassette.
  const std::array<uint8_t, 3> noCassette = {0, 0, 0};
  EXPECT_EQ(FindConflict(image_.get(), noCassette, document, 0, 2), ((0u | 0x100) << 8) | 0);
  EXPECT_EQ(FindConflict(image_.get(), noCassette, document, 0, kNoOption), 0u);
}

TEST_F(Constraints, ResolvePrinterSelectionsMovesAwayFromConflicts) {
  std::array<uint8_t, 4> selections = {9, 9, 9, 42};
  // Defaults: Missing, 16MB, True; 16MB conflicts with Card True, so VMOption moves to 32MB.
  EXPECT_EQ(ResolvePrinterSelections(image_.get(), selections) & 0xFFFF, 3u);
  EXPECT_EQ(selections[0], 0);
  EXPECT_EQ(selections[1], 1);
  EXPECT_EQ(selections[2], 1);
  EXPECT_EQ(selections[3], 42);  // beyond the printer features: untouched
}

TEST(ConstraintResolution, ChangesTheOtherFeatureWhenNoOptionIsFree) {
  DescriptionImagePtr image = test::CompileText(R"(*OpenGroup: InstallableOptions
*OpenUI *Card: PickOne
*Card On: "1"
*Card Off: "0"
*DefaultCard: On
*CloseUI: *Card
*VMOption 16MB: "16384"
*CloseGroup: InstallableOptions
*UIConstraints: *Card On *VMOption
)");
  ASSERT_TRUE(image);
  std::array<uint8_t, 2> selections = {};
  ResolvePrinterSelections(image.get(), selections);
  EXPECT_EQ(selections[0], 1);  // Card moved to Off: VMOption has no other option
  EXPECT_EQ(selections[1], 0);
}

}  // namespace
}  // namespace qvx
