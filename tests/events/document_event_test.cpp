// DrvDocumentEvent's own effects: the environment variable that carries a
// printer's device context and the filter answer through the export.
#include <windows.h>

#include <winddiui.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "document_event.h"

namespace {

std::string Environment(const std::string& name) {
  std::array<char, 64> value{};
  const DWORD n = GetEnvironmentVariableA(name.c_str(), value.data(), value.size());
  return n == 0 ? "<missing>" : std::string(value.data(), n);
}

TEST(DocumentEvent, DeviceContextVariableLivesFromCreateToDelete) {
  const HANDLE printer = reinterpret_cast<HANDLE>(0x12345678abcdULL);
  const HDC dc = reinterpret_cast<HDC>(0xabcULL);
  const std::string name = qvx::events::win::EnvironmentNameFor(printer);
  EXPECT_EQ(name, "0x000012345678ABCD");

  EXPECT_EQ(DrvDocumentEvent(printer, dc, DOCUMENTEVENT_CREATEDCPOST, 0, nullptr, 0, nullptr),
            DOCUMENTEVENT_SUCCESS);
  EXPECT_EQ(Environment(name), "0x0000000000000ABC");

  // Other events and the information context leave it alone.
  for (int escape : {DOCUMENTEVENT_STARTPAGE, DOCUMENTEVENT_ENDDOC, 99})
    EXPECT_EQ(DrvDocumentEvent(printer, dc, escape, 0, nullptr, 0, nullptr), DOCUMENTEVENT_SUCCESS);
  DrvDocumentEvent(printer, reinterpret_cast<HDC>(-1), DOCUMENTEVENT_DELETEDC, 0, nullptr, 0, nullptr);
  EXPECT_EQ(Environment(name), "0x0000000000000ABC");

  DrvDocumentEvent(printer, dc, DOCUMENTEVENT_DELETEDC, 0, nullptr, 0, nullptr);
  EXPECT_EQ(Environment(name), "<missing>");

  // A spooled device context flags its events in the high word.
  DrvDocumentEvent(printer, dc, DOCUMENTEVENT_CREATEDCPOST | DOCUMENTEVENT_SPOOLED, 0, nullptr, 0, nullptr);
  EXPECT_EQ(Environment(name), "0x0000000000000ABC");
  DrvDocumentEvent(printer, dc, DOCUMENTEVENT_DELETEDC | DOCUMENTEVENT_SPOOLED, 0, nullptr, 0, nullptr);
  EXPECT_EQ(Environment(name), "<missing>");
}

TEST(DocumentEvent, FilterQueryThroughTheExport) {
  // The record as the caller lays it out: four counts, then room for 13 events.
  std::array<DWORD, 4 + 13> raw{};
  auto* filter = reinterpret_cast<DOCEVENT_FILTER*>(raw.data());
  filter->cbSize = sizeof raw;
  filter->cElementsAllocated = 13;
  filter->cElementsReturned = 99;
  EXPECT_EQ(DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr, sizeof raw, filter),
            DOCUMENTEVENT_SUCCESS);
  ASSERT_EQ(filter->cElementsReturned, 13u);
  EXPECT_EQ(raw[4], DWORD{DOCUMENTEVENT_CREATEDCPRE});
  EXPECT_EQ(raw[6], DWORD{DOCUMENTEVENT_DELETEDC});
  EXPECT_EQ(raw[16], DWORD{DOCUMENTEVENT_ESCAPE});
}

}  // namespace
