// Which document events the driver asks for, and how it answers a caller
// whose filter record is too small.
#include "event_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qvx::events {
namespace {

struct Filter {
  EventFilterHeader header;
  uint32_t events[16];
};

TEST(EventFilter, AnswersWithRoomAndWithout) {
  struct Case {
    const char* name;
    uint32_t allocated;
    size_t bufferSize;
    bool ascending;
    uint32_t needed, returned;
    std::vector<uint32_t> events;
  };
  const std::vector<uint32_t> ordered(kFilteredEvents.begin(), kFilteredEvents.end());
  const std::vector<uint32_t> ascending = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  const size_t full = sizeof(EventFilterHeader) + 13 * 4;
  const Case cases[] = {
      {"room for 13", 13, full, false, 77, 13, ordered},
      {"room for 16", 16, sizeof(Filter), false, 77, 13, ordered},
      {"room for 12", 12, full, false, 13, 0, {}},
      // The caller claims more than its buffer holds: the buffer decides.
      {"buffer for 12", 13, full - 4, false, 13, 0, {}},
      {"info context, room", 13, full, true, 77, 13, ascending},
      {"info context, no room", 12, full, true, 13, 55, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Filter f;
    std::memset(&f, 0xEE, sizeof f);
    f.header = {static_cast<uint32_t>(c.bufferSize), c.allocated, 77, 55};
    AnswerEventFilter(&f, c.bufferSize, c.ascending);
    EXPECT_EQ(f.header.cElementsNeeded, c.needed);
    EXPECT_EQ(f.header.cElementsReturned, c.returned);
    for (size_t i = 0; i < c.events.size(); ++i) EXPECT_EQ(f.events[i], c.events[i]) << i;
    // Nothing is written past the returned events.
    EXPECT_EQ(f.events[c.events.empty() ? 0 : 13], 0xEEEEEEEEu);
  }
}

TEST(EventFilter, IgnoresRecordsTooSmallForTheirHeader) {
  uint8_t bytes[12];
  std::memset(bytes, 0xEE, sizeof bytes);
  AnswerEventFilter(bytes, sizeof bytes, false);
  AnswerEventFilter(nullptr, 100, false);
  for (uint8_t b : bytes) EXPECT_EQ(b, 0xEE);
}

}  // namespace
}  // namespace qvx::events
