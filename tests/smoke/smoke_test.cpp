// The harness itself: fixtures are reachable, and under Wine we really run on
// Windows APIs in the private prefix.
#include <gtest/gtest.h>

#include <filesystem>

#include "test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

TEST(Harness, SourceTreeIsReachable) {
  EXPECT_TRUE(std::filesystem::exists(qvx::test::SourcePath("CMakeLists.txt")));
}

#ifdef _WIN32
TEST(Harness, RunsInPrivatePrefix) {
  wchar_t buf[MAX_PATH];
  ASSERT_GT(GetEnvironmentVariableW(L"WINEPREFIX", buf, MAX_PATH), 0u);
  EXPECT_NE(std::wstring(buf).find(L"wineprefix"), std::wstring::npos);
  HWND w = CreateWindowExW(0, L"STATIC", L"x", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(w, nullptr) << "windows must be creatable without a display";
  DestroyWindow(w);
}
#endif
