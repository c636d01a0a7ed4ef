// The sheet state: one per open printing-preferences or printer-properties
// sheet, or per silent call. It holds the working settings record that every
// page edits, the printer-wide record, the description image and what the
// pages build from it. It lives in a private heap of its own, so destroying
// the heap frees everything the sheet allocated.
#pragma once

#include <windows.h>

#include <compstui.h>

#include <cstddef>
#include <cstdint>

#include "description_image.h"
#include "platform.h"
#include "printer_data.h"
#include "settings_record.h"

namespace qvx::sheets {

inline constexpr size_t kSheetPageCount = 4;
inline constexpr size_t kOptionListSlotCount = 21;
inline constexpr size_t kValueListCount = 6;
// Description features whose option values the pages list.
inline constexpr int kValueListFeatures[kValueListCount] = {7, 8, 9, 10, 11, 27};
inline constexpr uint16_t kNoSavedWatermark = 0xFFFF;
inline constexpr uint8_t kNoSelection = 255;
inline constexpr size_t kSheetHeapInitialSize = 8192;

// Mode bits of the document property calls that mingw's headers lack (the
// platform's values).
inline constexpr DWORD kModeAdvanced = 0x10;      // DM_ADVANCED
inline constexpr DWORD kModeNoPermission = 0x20;  // DM_NOPERMISSION
inline constexpr DWORD kModeUserDefault = 0x40;   // DM_USER_DEFAULT

// Flags of supportFlags.
inline constexpr uint8_t kSupportCenterOn = 0x01;  // "BSC" nonzero
inline constexpr uint8_t kWebUpdateOn = 0x02;      // "WU" nonzero
inline constexpr uint8_t kSupportSomeOff = 0x80;   // either of them zero

struct SheetForm {
  wchar_t name[64];
  int16_t paperId;
  uint8_t flags[8];
};
using BinName = wchar_t[24];
struct ResolutionPair {
  int32_t x;
  int32_t y;
};
struct ValueList {
  uint32_t count;
  uint32_t* values;
};
struct OptionListSlot {
  HGLOBAL handle;
  void* locked;
};

struct SheetState {
  SheetState* self;  // checked against the state's address with selfCheck
  BOOL mayUpdate;    // the caller's mode lacks DM_NOPERMISSION
  HANDLE printer;
  DescriptionImage* image;  // from the description cache; released with the state
  HANDLE heap;
  PFNCOMPROPSHEET pfnComPropSheet;
  HANDLE hComPropSheet;
  BOOL ownPrintProcessor;  // the printer's print processor is "QVPROC PRINT"
  wchar_t* driverName;     // in the heap
  core::PrinterRecord printerRecord;
  SettingsRecord record;  // the working record

  // Built on demand by the pages from the capability answers and the image.
  uint32_t formCount;
  SheetForm* forms;
  uint32_t binCount;
  BinName* bins;
  uint32_t resolutionCount;
  ResolutionPair* resolutions;
  ValueList valueLists[kValueListCount];

  uint16_t pageEnabled[kSheetPageCount];
  HANDLE pageHandles[kSheetPageCount];
  uint8_t currentSelection[2];
  HINSTANCE languageInstance;  // templates and strings
  HINSTANCE ownInstance;
  HWND lastInitialisedPage;
  OptionListSlot optionLists[kOptionListSlotCount];
  BOOL userDefault;  // the caller's mode has DM_USER_DEFAULT
  uint16_t savedWatermarkIndex;
  uint16_t supportCenter;  // printer data "BSC"
  uint16_t webUpdate;      // printer data "WU"
  uint8_t supportFlags;
  uint8_t colorSystem;  // "WCS" is on and the system has the colour system
  SheetState* selfCheck;  // second self pointer, the last field
};

// The caller's record: its bytes and how many of them may be read.
struct IncomingRecord {
  const void* data = nullptr;
  size_t size = 0;
};

// Builds a sheet state for the printer (handle and the seam over it) and the
// caller's record (may be empty). Null when the heap, the description image,
// the printer information or the printer-wide record cannot be had; nothing
// is left behind then.
SheetState* BuildSheetState(HANDLE handle, core::Printer& printer, IncomingRecord input, DWORD mode);

// Releases the option lists, the description image and the heap (with the
// state itself). Null is ignored.
void ReleaseSheetState(SheetState* state);

// The state behind a value the sheet handed back, or null when either self
// pointer does not match.
SheetState* CheckedSheetState(ULONG_PTR value);

// Reads "BSC" and "WU" (a missing value counts as 1) and sets supportFlags.
void ReadSupportSwitches(SheetState& state, core::Printer& printer);

// Owns a sheet state for the length of a call.
class ScopedSheetState {
 public:
  explicit ScopedSheetState(SheetState* state) : state_(state) {}
  ~ScopedSheetState() { ReleaseSheetState(state_); }
  ScopedSheetState(const ScopedSheetState&) = delete;
  ScopedSheetState& operator=(const ScopedSheetState&) = delete;
  SheetState* get() const { return state_; }
  // Hands the state over to the caller.
  SheetState* release() {
    SheetState* state = state_;
    state_ = nullptr;
    return state;
  }
  SheetState* operator->() const { return state_; }
  explicit operator bool() const { return state_ != nullptr; }

 private:
  SheetState* state_;
};

}  // namespace qvx::sheets
