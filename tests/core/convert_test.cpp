// The logic behind DrvConvertDevMode, natively and under Wine (the export
// itself is exercised against real Wine printers by the export tests).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "convert.h"
#include "settings_fixture.h"
#include "test_paths.h"

namespace qvx::test {
namespace {

using core::ConvertDevMode;
using core::ConvertResult;

class ConvertTest : public SettingsTest {
 protected:
  ConvertResult Convert(const void* in, void* out, int32_t* size, uint32_t mode) {
    return ConvertDevMode(platform_, u"Test Printer", in, out, size, mode);
  }
};

TEST_F(ConvertTest, ToCallersFormat) {
  const SettingsRecord ours = Defaults();
  // The caller's output is an older record with a short private part.
  std::vector<uint8_t> out(600, 0);
  const uint16_t spec = 0x0400, size = 212, extra = 100;
  std::memcpy(&out[64], &spec, 2);
  std::memcpy(&out[68], &size, 2);
  std::memcpy(&out[70], &extra, 2);
  int32_t bytes = static_cast<int32_t>(out.size());
  const ConvertResult r = Convert(&ours, out.data(), &bytes, core::kConvertToCaller);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(bytes, 312);
  EXPECT_EQ(LoadU16(out.data(), out.size(), 68), 212);
  EXPECT_EQ(LoadU32(out.data(), out.size(), 212 + 4), kSignature);
  EXPECT_EQ(out[312], 0);  // nothing beyond the caller's record

  bytes = 311;  // smaller than the output record says it is
  EXPECT_EQ(Convert(&ours, out.data(), &bytes, core::kConvertToCaller).lastError, core::kErrorInvalidParameter);
  bytes = 600;
  EXPECT_EQ(Convert(&ours, nullptr, &bytes, core::kConvertToCaller).lastError, core::kErrorInvalidParameter);
  EXPECT_EQ(Convert(nullptr, out.data(), &bytes, core::kConvertToCaller).lastError,
            core::kErrorInvalidParameter);
}

TEST_F(ConvertTest, ToTheOldFormat) {
  const SettingsRecord ours = Defaults();
  std::vector<uint8_t> out(299, 0);
  int32_t bytes = 299;
  ConvertResult r = Convert(&ours, out.data(), &bytes, core::kConvertToOld);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.lastError, core::kErrorInsufficientBuffer);
  EXPECT_EQ(bytes, 300);

  auto exact = std::make_unique<uint8_t[]>(300);
  bytes = 300;
  r = Convert(&ours, exact.get(), &bytes, core::kConvertToOld);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(bytes, 300);
  EXPECT_EQ(LoadU16(exact.get(), 300, 64), 0x0320);
  EXPECT_EQ(LoadU16(exact.get(), 300, 66), 0x0350);
  EXPECT_EQ(LoadU16(exact.get(), 300, 68), 188);
  EXPECT_EQ(LoadU16(exact.get(), 300, 70), 112);
  EXPECT_EQ(LoadU16(exact.get(), 300, 76), 1);                 // dmOrientation
  EXPECT_EQ(LoadU32(exact.get(), 300, 188 + 4), kSignature);  // first private bytes
}

TEST_F(ConvertTest, OtherModesAndMissingSize) {
  const SettingsRecord ours = Defaults();
  std::vector<uint8_t> out(kRecordSize);
  int32_t bytes = 1234;
  const ConvertResult r = Convert(&ours, out.data(), &bytes, 3);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.lastError, 0u);
  EXPECT_EQ(bytes, 1234);
  for (uint32_t mode : {1u, 2u, 4u, 3u})
    EXPECT_EQ(Convert(&ours, out.data(), nullptr, mode).lastError, core::kErrorInvalidParameter);
}

TEST_F(ConvertTest, InputClaimingMoreThanItsBufferIsBounded) {
  // The input record claims a long private part but the spooler's copy is
  // only its public part: copying stops at what the output can take, and
  // the sanitizers check that no byte beyond the input's block is read.
  SettingsRecord declared = Defaults();
  declared.dm.dmDriverExtra = 0;  // what the input really is
  auto in = std::make_unique<uint8_t[]>(kPublicSize);
  std::memcpy(in.get(), &declared, kPublicSize);
  auto out = std::make_unique<uint8_t[]>(kRecordSize);
  SettingsRecord header = Defaults();
  std::memcpy(out.get(), &header, kRecordSize);
  int32_t bytes = kRecordSize;
  EXPECT_TRUE(Convert(in.get(), out.get(), &bytes, core::kConvertToCaller).ok);
  EXPECT_EQ(bytes, static_cast<int32_t>(kRecordSize));
}

TEST_F(ConvertTest, ImplausibleInputHeaderIsNotRead) {
  // Only the 220 bytes exist; the header claims 65535 + 65535.
  DevModeW in{};
  in.dmSpecVersion = kSpecVersion;
  in.dmSize = 0xFFFF;
  in.dmDriverExtra = 0xFFFF;
  auto block = std::make_unique<uint8_t[]>(sizeof in);
  std::memcpy(block.get(), &in, sizeof in);
  SettingsRecord out = Defaults();
  int32_t bytes = kRecordSize;
  for (uint32_t mode : {core::kConvertToCaller, core::kConvertToOld}) {
    const ConvertResult r = Convert(block.get(), &out, &bytes, mode);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.lastError, core::kErrorInvalidParameter);
  }
}

TEST_F(ConvertTest, DriverDefault) {
  std::vector<uint8_t> out(kRecordSize);
  int32_t bytes = kRecordSize - 1;
  ConvertResult r = Convert(nullptr, out.data(), &bytes, core::kDriverDefault);
  EXPECT_EQ(r.lastError, core::kErrorInsufficientBuffer);
  EXPECT_EQ(bytes, static_cast<int32_t>(kRecordSize));

  // No such printer, or a description that cannot be read: quietly false.
  bytes = kRecordSize;
  r = ConvertDevMode(platform_, u"Nobody", nullptr, out.data(), &bytes, core::kDriverDefault);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.lastError, 0u);
  r = Convert(nullptr, out.data(), &bytes, core::kDriverDefault);  // C:\desc.ppd does not exist
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.lastError, 0u);

  // A real description, copied away so its cache file lands in a scratch folder.
  const auto dir = std::filesystem::temp_directory_path() / "qvx_convert_test";
  std::filesystem::create_directories(dir);
  const auto ppd = dir / "qvx07c.ppd";
  std::filesystem::copy_file(SourcePath("examples/ppd/qvx07c.ppd"), ppd,
                             std::filesystem::copy_options::overwrite_existing);
  printer_->driver->dataFile = ppd.u16string();
  printer_->driver->name = u"Quorvel Model 07 ";
  platform_.SetCountry(u"1");
  r = Convert(nullptr, out.data(), &bytes, core::kDriverDefault);
  ASSERT_TRUE(r.ok);
  SettingsRecord made;
  std::memcpy(&made, out.data(), kRecordSize);
  EXPECT_TRUE(IsOwnRecord(&made, sizeof made));
  EXPECT_EQ(std::u16string(core::FieldText(made.dm.dmDeviceName, 32)), u"Quorvel Model 07 ");
  EXPECT_EQ(made.dm.dmPaperSize, 1);  // Letter country
  EXPECT_EQ(made.dm.dmDefaultSource, 7);
  EXPECT_EQ(made.dm.dmColor, 2);
  EXPECT_EQ(made.sleepModeValue, 15);
  EXPECT_EQ(made.memorySizeValue, 64);
  EXPECT_EQ(made.modelTypeBits, 0x0111);
  EXPECT_GT(made.optionCount, 10);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qvx::test
