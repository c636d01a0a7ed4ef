// An INI file in memory: sections and keys as the profile functions keep them,
// with a count of writes so a test can tell "left alone" from "rewritten".
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "monitor_settings.h"

namespace qvx::events::test {

class FakeIni : public IniFile {
 public:
  std::map<std::pair<std::u16string, std::u16string>, std::u16string> values;
  int writes = 0;

  std::optional<std::u16string> Read(std::u16string_view section,
                                     std::u16string_view key) const override {
    auto it = values.find({std::u16string(section), std::u16string(key)});
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::u16string_view section, std::u16string_view key,
             std::u16string_view value) override {
    values[{std::u16string(section), std::u16string(key)}] = std::u16string(value);
    ++writes;
  }
  void Remove(std::u16string_view section, std::u16string_view key) override {
    values.erase({std::u16string(section), std::u16string(key)});
    ++writes;
  }
  std::u16string Get(std::u16string_view section, std::u16string_view key) const {
    return Read(section, key).value_or(u"<missing>");
  }
};

}  // namespace qvx::events::test
