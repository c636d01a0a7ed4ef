// The answer to the graphics engine's question which document events the
// driver wants to see. The filter record is the platform's DOCEVENT_FILTER:
// four 32-bit counts followed by the caller's array of event numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qvx::events {

struct EventFilterHeader {
  uint32_t cbSize;
  uint32_t cElementsAllocated;
  uint32_t cElementsNeeded;
  uint32_t cElementsReturned;
};
static_assert(sizeof(EventFilterHeader) == 16);
static_assert(offsetof(EventFilterHeader, cElementsAllocated) == 4);
static_assert(offsetof(EventFilterHeader, cElementsNeeded) == 8);
static_assert(offsetof(EventFilterHeader, cElementsReturned) == 12);
inline constexpr size_t kEventFilterArrayOffset = sizeof(EventFilterHeader);

// The events the driver asks for, in the order it reports them.
inline constexpr std::array<uint32_t, 13> kFilteredEvents = {1, 2, 10, 3, 4, 5, 13, 8, 12, 6, 7, 9, 11};

// Fills the filter record of bufferSize bytes at buffer. The room for events
// is what the caller says it allocated, and never more than the buffer holds.
// With ascending set (the query for an information context that is no real
// device context) the events come in ascending order and cElementsReturned is
// only written when they fit.
void AnswerEventFilter(void* buffer, size_t bufferSize, bool ascending);

}  // namespace qvx::events
