// Any bytes as a held job's settings record (in a buffer of exactly their
// size) and as the printer's stored tray-form table and printer record: the
// print query and the capability answers read nothing outside what they were
// given, and a refusal always comes with a message that fits its buffer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "capabilities.h"
#include "description_image.h"
#include "example_description.h"
#include "platform_fake.h"
#include "print_query.h"
#include "printer_data.h"
#include "trays.h"

namespace {

const qvx::DescriptionImage* Description() { return qvx::fuzz::ExampleDescription(); }

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qvx::core;
  // First byte: how many of the following bytes are the stored tables.
  if (size < 1) return 0;
  const size_t tableBytes = std::min<size_t>(data[0], size - 1);
  const uint8_t* table = data + 1;
  const size_t jobSize = size - 1 - tableBytes;
  auto job = std::make_unique<uint8_t[]>(jobSize);
  std::copy(table + tableBytes, data + size, job.get());

  FakePlatform platform;
  platform.ownStrings = {{1057, u"Load %s paper into %s."}, {1049, u"Unknown paper."}};
  auto state = platform.AddPrinter(u"Fuzz", u"Quorvel Model 07 ", u"C:\\qvx07c.ppd");
  state->forms = std::vector<FormInfo>{{kFormBuiltin, u"A4", 210000, 297000}};
  FakePrinter printer(state);
  WriteSizedValue(printer, u"TrayFormSize", u"TrayFormTable", table, tableBytes);
  WriteSizedValue(printer, u"PrinterDataSize", u"PrinterData", table, tableBytes);

  UpgradeTrayFormTable(printer);
  const QueryVerdict verdict = EvaluatePrintQuery(platform, printer, Description(), job.get(), jobSize);
  if (!verdict.printable) {
    char16_t message[16];
    size_t needed = 0;
    const QueryArg args[] = {verdict.message, std::u16string_view(verdict.form), std::u16string_view(verdict.tray)};
    const size_t written = FormatQueryMessage(platform, StringSource::Own, message, 16, &needed, u"%!", args);
    Check(written < 16 && message[written] == 0 && needed >= written + 1);
  }
  std::vector<uint8_t> output(64 * 64 * 2);
  for (uint16_t index : {dc::kPapers, dc::kPaperSize, dc::kBins, dc::kBinNames, dc::kPaperNames}) {
    QueryDeviceCapabilities(platform, printer, Description(), u"Fuzz", index, output.data(), job.get(), jobSize);
  }
  return 0;
}
