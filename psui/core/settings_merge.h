// Copying settings records between different public and private sizes, and
// merging a record of any origin into this driver's defaults.
//
// Every function takes the number of bytes the caller really has for each
// buffer: a record's own dmSize/dmDriverExtra are claims that are never
// trusted beyond those bounds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "description_image.h"
#include "platform.h"
#include "settings_record.h"

namespace qvx::core {

// dmSize + dmDriverExtra as the record's header states them; 0 for null or for
// fewer than the 72 header bytes (when `available` is known).
size_t DeclaredRecordSize(const void* record, size_t available = SIZE_MAX);

// Copies public and private bytes from source into destination, each part
// limited by both headers and by the two buffer sizes; the destination keeps
// its header words (with the dmSpecVersion that its dmSize implies).
// Returns the bytes copied, or -1 for a missing or unusable record.
int CopySettings(const void* source, size_t sourceSize, void* destination, size_t destinationSize);

// Returns our record to a caller. Without a caller's record the whole record
// is copied; otherwise the output takes the smaller of the two public and of
// the two private parts. outSize is the output buffer's size.
bool CopySettingsForCaller(const SettingsRecord& ours, const void* callerInput, size_t callerInputSize,
                           void* output, size_t outSize);

// Merges `incoming` (any record, may be null) into `target`, which holds the
// default record. `printer` (may be null) tells the print processor. The
// result is always a valid record of this driver; false only when the
// incoming bytes are not a settings record at all.
bool MergeSettings(SettingsRecord& target, const void* incoming, size_t incomingSize, Printer* printer,
                   const DescriptionImage* image, Platform& platform);

}  // namespace qvx::core
