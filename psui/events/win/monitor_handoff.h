// The hand-off to the status monitor QVSTMON.EXE that ships beside this
// library: the per-user folder and monitor version in the registry, and the
// per-user INI file through which the monitor and the driver keep pages per
// sheet and colour in step.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform.h"
#include "settings_record.h"

namespace qvx::events::win {

// Per-user key with the values "Path" and "QvStMon".
inline constexpr wchar_t kMonitorKey[] = L"Software\\Quorvel\\PrtDrv";
inline constexpr wchar_t kMonitorIniName[] = L"qvstmon.ini";
inline constexpr wchar_t kMonitorExe[] = L"QVSTMON.EXE";

// Called when a property sheet opens: records the per-user folder (creating
// it) and the monitor's product version.
void RecordMonitorFolder();

// The monitor INI: qvstmon.ini in the per-user folder when a monitor of
// version 3.1 or later is installed, else the bare name (which the profile
// functions place in the Windows directory).
std::wstring MonitorIniPath();

// The monitor's version is 3.1 or later: the recorded "QvStMon", or the
// version resource of QVSTMON.EXE when nothing is recorded.
bool MonitorIsCurrent();

// "ProductVersion" of a file's version resource (first translation); empty
// when it has none.
std::wstring ProductVersionOf(const std::wstring& path);

void ReadMonitorSettings(core::Printer& printer, SettingsRecord& record);
void WriteMonitorSettings(core::Printer& printer, const SettingsRecord& record);
// The enabled monitor functions that touch the record (bits AND 0x104).
uint32_t GetMonitorBits(core::Printer& printer);
void SetMonitorBits(core::Printer& printer, uint32_t bits);

}  // namespace qvx::events::win
