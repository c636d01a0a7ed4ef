// The presets are stored in printer data and read by the Profiles page of
// every installed driver version, so they are checked byte for byte against
// offsets written out independently of the record's struct.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings_templates.h"

namespace qvx::test {
namespace {

struct Write {
  size_t offset;  // from the start of the record
  int width;      // 1, 2 or 4 bytes
  int64_t value;
};

void Put(std::vector<uint8_t>& bytes, size_t offset, int width, int64_t value) {
  for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutWide(std::vector<uint8_t>& bytes, size_t offset, const char* text) {
  for (size_t i = 0; text[i]; ++i) bytes[offset + 2 * i] = static_cast<uint8_t>(text[i]);
}

std::vector<uint8_t> ExpectedRecord(size_t index) {
  struct Row {
    int icon, paper, scale, pq, qc, media, cm, preset, borderless, scaling, b804, fit, variant, nup;
  };
  const Row rows[] = {
      {0, 9, 100, -3, -3, 0, 0, 2, 0, 3, 3, 9, 0, 1},       {1, 9, 100, -4, -4, 1, 0, 4, 0, 3, 3, 9, 0, 1},
      {0, 9, 100, -2, -2, 0, 0, 1, 0, 3, 3, 9, 0, 1},       {2, 9, 100, -3, -3, 0, 0, 2, 0, 0, 0, 9, 0, 2},
      {7, 9, 75, -3, -3, 0, 0, 2, 0, 2, 3, 9, 0, 1},        {4, 278, 100, -3, -3, 3, 1, 4, 1, 3, 3, 278, 0, 1},
      {18, 43, 100, -4, -4, 0, 0, 3, 0, 0, 0, 43, 1, 1},    {6, 43, 100, -4, -4, 1, 1, 4, 0, 3, 3, 43, 0, 1},
      {18, 43, 100, -4, -4, 12, 0, 3, 0, 0, 0, 43, 1, 1},   {19, 43, 100, -3, -4, 13, 1, 4, 0, 3, 3, 43, 0, 1},
      {5, 43, 100, -4, -4, 0, 0, 3, 0, 0, 0, 43, 1, 1},     {8, 9, 100, -3, -3, 0, 0, 2, 0, 3, 3, 9, 0, 1},
      {8, 9, 100, -3, -3, 0, 0, 2, 0, 3, 3, 9, 0, 1},
  };
  const Row& r = rows[index];
  std::vector<uint8_t> b(2432, 0);
  Put(b, 0, 4, r.icon);
  const std::string name = "devmode" + std::to_string(index);
  std::memcpy(&b[4], name.c_str(), name.size());

  const size_t R = 56;  // the record inside the preset
  const Write common[] = {
      {76, 2, 1}, {86, 2, 1}, {88, 2, 7}, {92, 2, 2}, {94, 2, 1}, {98, 2, 3},
      {224, 4, 0x56495250}, {312, 1, 0x18}, {318, 2, 10000}, {320, 2, 10000}, {322, 2, 10000}, {326, 2, 10000},
      {406, 2, 1}, {468, 1, 2}, {469, 1, 2}, {470, 1, 1}, {480, 2, 1}, {482, 2, 3}, {486, 2, 2100},
      {488, 2, 2970}, {490, 1, 2}, {492, 4, 1}, {496, 4, 1}, {504, 2, 0x0201}, {516, 1, 2}, {528, 4, 1},
      {540, 4, 1}, {544, 4, 1}, {548, 4, 1}, {580, 4, 1}, {588, 4, 1}, {630, 2, 500}, {634, 2, 1},
      {636, 2, 1}, {638, 2, 1270}, {640, 2, 889}, {648, 4, 6}, {652, 4, -11}, {748, 4, 0x00FFFFFF},
      {752, 4, 0x02005001}, {1022, 2, 256}, {1025, 1, 1}, {1026, 1, 3}, {1028, 4, 2963}, {1032, 4, 2963},
      {1036, 2, 2970}, {1038, 2, 2970}, {1076, 4, 3}, {1082, 2, -1},
      {1408, 2, 8}, {1410, 2, 1032}, {1423, 1, 1}, {1424, 2, 1}, {1426, 2, -1}, {1432, 2, 90},
      {1484, 4, 72}, {1588, 4, 0x008800C6}, {1672, 4, -11}, {1768, 4, 0x00FFFFFF}, {1932, 4, 100},
      {2368, 1, 1}, {2372, 4, 0x43534F45},
  };
  for (const Write& w : common) Put(b, R + w.offset, w.width, w.value);
  PutWide(b, R + 652 + 28, "Arial");
  PutWide(b, R + 1484 + 28, "Arial");
  PutWide(b, R + 1672 + 28, "Arial");
  PutWide(b, R + 1344, "qvsplf01.exe");

  const Write perRecord[] = {
      {78, 2, r.paper}, {84, 2, r.scale}, {90, 2, r.pq}, {1080, 2, r.qc}, {434, 2, r.media},
      {436, 4, r.cm}, {524, 1, r.preset}, {643, 1, r.borderless}, {760, 1, r.scaling}, {1024, 1, r.b804},
      {1040, 2, r.fit}, {1042, 2, r.fit}, {1928, 2, r.fit}, {1930, 2, r.fit}, {1340, 4, r.variant},
      {1416, 4, r.nup},
  };
  for (const Write& w : perRecord) Put(b, R + w.offset, w.width, w.value);
  return b;
}

TEST(SettingsTemplates, EveryPresetByteForByte) {
  for (size_t i = 0; i < kTemplateCount; ++i) {
    SettingsTemplate t;
    ASSERT_TRUE(core::BuildSettingsTemplate(i, t));
    const std::vector<uint8_t> expected = ExpectedRecord(i);
    const auto* actual = reinterpret_cast<const uint8_t*>(&t);
    for (size_t at = 0; at < expected.size(); ++at) {
      ASSERT_EQ(actual[at], expected[at]) << "preset " << i << ", byte " << at << " (record offset "
                                          << static_cast<long>(at) - 56 << ")";
    }
  }
}

TEST(SettingsTemplates, IndexOutOfRange) {
  SettingsTemplate t{};
  t.icon = 77;
  EXPECT_FALSE(core::BuildSettingsTemplate(kTemplateCount, t));
  EXPECT_EQ(t.icon, 77u);
}

}  // namespace
}  // namespace qvx::test
