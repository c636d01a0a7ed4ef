// The driver's defaults file QVXDEF.DAT in the system folder of 32-bit
// programs: the switches that printer installation and driver upgrade
// publish as "BSC" and "WU".
#pragma once

#include <filesystem>

#include "printer_data.h"

namespace qvx::core::win {

std::filesystem::path DefaultsFilePath();
DefaultsFileValues ReadDefaultsFile();

}  // namespace qvx::core::win
