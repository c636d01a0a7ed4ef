#include "event_filter.h"

#include <algorithm>
#include <cstring>

namespace qvx::events {
namespace {

void Store(uint8_t* base, size_t offset, uint32_t value) { std::memcpy(base + offset, &value, 4); }

}  // namespace

void AnswerEventFilter(void* buffer, size_t bufferSize, bool ascending) {
  if (buffer == nullptr || bufferSize < sizeof(EventFilterHeader)) return;
  auto* base = static_cast<uint8_t*>(buffer);
  EventFilterHeader header;
  std::memcpy(&header, base, sizeof header);

  const size_t room = std::min<size_t>(header.cElementsAllocated,
                                       (bufferSize - kEventFilterArrayOffset) / sizeof(uint32_t));
  if (!ascending) Store(base, offsetof(EventFilterHeader, cElementsReturned), 0);
  if (room < kFilteredEvents.size()) {
    Store(base, offsetof(EventFilterHeader, cElementsNeeded), kFilteredEvents.size());
    return;
  }
  std::array<uint32_t, kFilteredEvents.size()> events = kFilteredEvents;
  if (ascending) std::sort(events.begin(), events.end());
  std::memcpy(base + kEventFilterArrayOffset, events.data(), sizeof events);
  Store(base, offsetof(EventFilterHeader, cElementsReturned), kFilteredEvents.size());
}

}  // namespace qvx::events
