#include "sheet_state.h"

#include <versionhelpers.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "description_access.h"
#include "forms.h"
#include "library_state.h"
#include "monitor_handoff.h"
#include "paper_forms.h"
#include "settings_defaults.h"
#include "settings_merge.h"
#include "win_platform.h"

namespace qvx::sheets {
namespace {

constexpr char16_t kOwnPrintProcessor[] = u"QVPROC PRINT";

// What a printer data switch reads as when the printer has none.
constexpr uint32_t kSwitchDefault = 1;

wchar_t* CopyIntoHeap(HANDLE heap, const std::u16string& text) {
  auto* copy = static_cast<wchar_t*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, (text.size() + 1) * sizeof(wchar_t)));
  if (copy != nullptr) std::memcpy(copy, text.data(), text.size() * sizeof(wchar_t));
  return copy;
}

// The colour system exists from the NT 6 family on; the printer turns it on
// with a 4-byte "WCS" of 1.
uint8_t ColorSystemFlag(core::Printer& printer) {
  const auto value = printer.GetData(u"WCS");
  if (!value || value->type != core::ValueType::Dword || value->bytes.size() != 4) return 0;
  uint32_t on = 0;
  std::memcpy(&on, value->bytes.data(), 4);
  return on == 1 && IsWindowsVistaOrGreater() ? 1 : 0;
}

void StorePrinterRecord(SheetState& state, const core::PrinterRecord& record) {
  std::memcpy(&state.printerRecord, &record, std::min(sizeof record, size_t{core::kPrinterRecordSize}));
  state.printerRecord.version = core::kPrinterRecordVersion;
  state.printerRecord.size = core::kPrinterRecordSize;
}

}  // namespace

SheetState* BuildSheetState(HANDLE handle, core::Printer& printer, IncomingRecord input, DWORD mode) {
  HANDLE heap = HeapCreate(0, kSheetHeapInitialSize, 0);
  if (heap == nullptr) return nullptr;
  void* memory = HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(SheetState));
  if (memory == nullptr) {
    HeapDestroy(heap);
    return nullptr;
  }
  // Zeroed memory is the state's starting value; every member is plain data.
  auto* state = static_cast<SheetState*>(memory);
  state->self = state;
  state->selfCheck = state;
  state->printer = handle;
  state->heap = heap;
  state->savedWatermarkIndex = kNoSavedWatermark;
  state->mayUpdate = (mode & kModeNoPermission) == 0;
  state->userDefault = (mode & kModeUserDefault) != 0;
  state->currentSelection[0] = state->currentSelection[1] = kNoSelection;
  state->languageInstance = core::win::LanguageModule();
  state->ownInstance = core::win::LibraryModule();

  state->image = core::win::AcquireDescriptionImage(printer, true);
  if (state->image == nullptr) {
    HeapDestroy(heap);
    return nullptr;
  }
  // From here on ReleaseSheetState undoes everything.
  ScopedSheetState guard(state);

  const auto info = printer.GetInfo();
  if (!info) return nullptr;
  state->driverName = CopyIntoHeap(heap, info->driverName);
  if (state->driverName == nullptr) return nullptr;
  state->ownPrintProcessor = core::EqualsIgnoringAsciiCase(info->printProcessor, kOwnPrintProcessor);

  core::Platform& platform = core::win::Win32Platform();
  SettingsRecord& record = state->record;
  core::BuildDefaultSettings(record, info->driverName, state->image, core::IsMetricCountry(platform), platform);
  if (!info->devMode.empty())
    core::MergeSettings(record, info->devMode.data(), info->devMode.size(), &printer, state->image, platform);
  if (input.data != nullptr)
    core::MergeSettings(record, input.data, input.size, &printer, state->image, platform);
  events::win::ReadMonitorSettings(printer, record);
  core::PrepareRenderBlock(record, platform);

  if ((record.dm.dmFields & dm::kPaperSize) != 0) {
    core::PaperForm form;
    core::LookupPaperForm(record, form, state->image);
  }
  core::InstallForms(printer, state->image);
  if ((record.watermarkOn & 1) != 0) state->savedWatermarkIndex = static_cast<uint16_t>(record.watermarkIndex);

  StorePrinterRecord(*state, core::ReadPrinterRecord(platform, printer, state->image));
  state->colorSystem = ColorSystemFlag(printer);

  guard.release();
  return state;
}

void ReleaseSheetState(SheetState* state) {
  if (state == nullptr) return;
  for (OptionListSlot& slot : state->optionLists) {
    if (slot.handle == nullptr) continue;
    if (slot.locked != nullptr) GlobalUnlock(slot.handle);
    GlobalFree(slot.handle);
    slot = {};
  }
  core::win::ReleaseDescriptionImage(state->image);
  state->image = nullptr;
  // The state itself lives in the heap.
  HeapDestroy(state->heap);
}

SheetState* CheckedSheetState(ULONG_PTR value) {
  auto* state = reinterpret_cast<SheetState*>(value);
  if (state == nullptr || state->self != state || state->selfCheck != state) return nullptr;
  return state;
}

void ReadSupportSwitches(SheetState& state, core::Printer& printer) {
  state.supportCenter = static_cast<uint16_t>(printer.GetDword(u"BSC").value_or(kSwitchDefault));
  state.webUpdate = static_cast<uint16_t>(printer.GetDword(u"WU").value_or(kSwitchDefault));
  uint8_t flags = 0;
  if (state.supportCenter != 0) flags |= kSupportCenterOn;
  if (state.webUpdate != 0) flags |= kWebUpdateOn;
  if (state.supportCenter == 0 || state.webUpdate == 0) flags |= kSupportSomeOff;
  state.supportFlags = flags;
}

}  // namespace qvx::sheets
