// The print query: can a held job's settings print on the printer as it is
// configured (paper known, tray loaded with it, no option conflict,
// resolution available)? When not, a message for the queue says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "description_image.h"
#include "platform.h"
#include "settings_record.h"

namespace qvx::core {

// Ids of the query messages in QVXUI's own string table.
namespace query_message {
inline constexpr uint32_t kResolution = 1043;
inline constexpr uint32_t kBadSettings = 1047;
inline constexpr uint32_t kManualFeedForm = 1048;
inline constexpr uint32_t kPaperUnknown = 1049;
inline constexpr uint32_t kConflict = 1054;
inline constexpr uint32_t kNoDescription = 1055;
inline constexpr uint32_t kNoMemory = 1056;
inline constexpr uint32_t kFormNotLoaded = 1057;  // "%s" form, "%s" tray
inline constexpr uint32_t kCustomSize = 1058;
}  // namespace query_message

// One argument of FormatQueryMessage: a 32-bit number (also a string id or
// a character) or a string.
using QueryArg = std::variant<uint32_t, std::u16string_view>;

// Formats `format` into buffer (bufferChars characters, always terminated
// when there is room for the terminator). Directives: "%!" inserts the string
// whose id is the next argument, from `source` (up to 256 characters; its own
// directives take the following arguments); "%s" the next string; "%d",
// "%u", "%x", "%X" the next number; "%c" the next number as a character; any
// other character after "%" stands for itself. An argument of the wrong kind,
// or a missing one, inserts nothing. *needed (when given) receives the full
// length + 1; the result is the number of characters written.
size_t FormatQueryMessage(Platform& platform, StringSource source, char16_t* buffer, size_t bufferChars,
                          size_t* needed, std::u16string_view format, std::span<const QueryArg> args);

struct QueryVerdict {
  bool printable = true;
  uint32_t message = 0;    // string id when not printable
  std::u16string form;     // arguments of kFormNotLoaded
  std::u16string tray;
};

// Evaluates a job record (any bytes, `jobSize` of them readable) against the
// printer. A null image answers kNoDescription.
QueryVerdict EvaluatePrintQuery(Platform& platform, Printer& printer, const DescriptionImage* image,
                                const void* job, size_t jobSize);

// Brings the option selections of a record up to date from its public
// fields (collation, duplex, print quality, form name, paper source).
void UpdateSelectionsFromPublicFields(SettingsRecord& record, const DescriptionImage* image);

}  // namespace qvx::core
