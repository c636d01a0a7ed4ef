// QVXLANG.DLL as the printer interface library and the spooler load it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "language_text.h"
#include "test_paths.h"

namespace qvx::lang {
namespace {

std::wstring DllPath() { return qvx::test::BinaryPath("bin/QVXLANG.DLL").wstring(); }

std::u16string Load(HMODULE module, UINT id) {
  const wchar_t* text = nullptr;
  // With a zero buffer size LoadStringW hands out the resource text itself.
  const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(length));
}

TEST(LanguageDll, CarriesEveryTextOfTheTable) {
  HMODULE module = LoadLibraryExW(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr) << GetLastError();
  size_t checked = 0;
  for (const LanguageEntry& e : LanguageTable()) {
    EXPECT_EQ(Load(module, e.id), std::u16string(e.text)) << e.id;
    ++checked;
  }
  EXPECT_GT(checked, 100u);
  EXPECT_EQ(Load(module, 1220), u"A4 210 \u00D7 297 mm");
  EXPECT_TRUE(Load(module, 1253).empty());
  FreeLibrary(module);
}

TEST(LanguageDll, LoadsAsALibraryWithoutCode) {
  // The printer interface library loads it with LoadLibraryW: a resource-only
  // DLL without an entry point must load and unload cleanly.
  HMODULE module = LoadLibraryW(DllPath().c_str());
  ASSERT_NE(module, nullptr) << GetLastError();
  EXPECT_EQ(Load(module, 2113), u"USA");
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
}  // namespace qvx::lang
