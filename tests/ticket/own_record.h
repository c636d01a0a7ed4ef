// A settings record of this driver for tests and the timing program.
#pragma once

#include <cstring>

#include "settings_record.h"

namespace qvx::ticket::test {

// A record of this driver with every field zero except its identity.
inline SettingsRecord OwnRecord() {
  SettingsRecord r;
  std::memset(&r, 0, sizeof r);
  r.dm.dmSpecVersion = kSpecVersion;
  r.dm.dmDriverVersion = kDriverVersion;
  r.dm.dmSize = kPublicSize;
  r.dm.dmDriverExtra = kPrivateSize;
  r.signature = kSignature;
  r.dm.dmOrientation = 1;
  r.dm.dmPaperSize = 1;
  r.qualityCode = -3;
  r.bidirectional = 1;
  r.bidirectionalJob = 1;
  return r;
}

}  // namespace qvx::ticket::test
