// qvxdesc prints a description as JSON.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "description_json.h"
#include "test_paths.h"

namespace qvx {
namespace {

std::string RunTool(const std::string& command, int& status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  status = pclose(pipe);
  return out;
}

TEST(Qvxdesc, PrintsTheExampleAsJson) {
  const std::string tool = test::BinaryPath("bin/qvxdesc").string();
  const std::string ppd = test::SourcePath("examples/ppd/qvx07c.ppd").string();
  int status = -1;
  const std::string json = RunTool(tool + " " + ppd, status);
  EXPECT_EQ(status, 0);
  for (const char* expected :
       {"\"nickname\": \"Quorvel Model 07 Colour Inkjet\"", "\"documentFeatureCount\": 28",
        "\"printerFeatureCount\": 3", "\"name\": \"MediaType\"", "\"name\": \"Glossy_Paper\"",
        "\"translation\": \"Envelope DL\"", "\"kind\": \"PickOne\"", "\"printerFeature\": true",
        "\"memory\": 16384", "\"jclBegin\": \"\\u001b%-12345X@PJL JOB\\u000a\"", "\"fileVersion\": 1.1992188",
        "\"constraints\": [", "\"orderDependencies\": ["}) {
    EXPECT_NE(json.find(expected), std::string::npos) << expected;
  }
  EXPECT_EQ(json.back(), '\n');
}

TEST(Qvxdesc, ReadsTheCacheFileItWrote) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "qvx-qvxdesc-cache";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(test::SourcePath("examples/ppd/qvx01m.ppd"), dir / "qvx01m.ppd");
  const std::string tool = test::BinaryPath("bin/qvxdesc").string();
  int status = -1;
  const std::string loaded = RunTool(tool + " --load " + (dir / "qvx01m.ppd").string(), status);
  EXPECT_EQ(status, 0);
  const std::string cached = RunTool(tool + " --cache " + (dir / "qvx01m.QDD").string(), status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(cached, loaded);
  EXPECT_NE(cached.find("\"name\": \"COLOR\""), std::string::npos);
  // Description text is not a cache file; a missing argument is a usage error.
  RunTool(tool + " --cache " + (dir / "qvx01m.ppd").string() + " 2>/dev/null", status);
  EXPECT_NE(status, 0);
  RunTool(tool + " 2>/dev/null", status);
  EXPECT_NE(status, 0);
  fs::remove_all(dir);
}

TEST(Qvxdesc, EscapesTexts) {
  const std::string text = "*NickName: \"<E9>t\\<01>\"\n";
  DescriptionImagePtr stored = CompileDescription(
      ParseDescriptionBuffer({reinterpret_cast<const uint8_t*>(text.data()), text.size()}), "x.ppd");
  ASSERT_TRUE(stored);
  ASSERT_TRUE(RelocateImage(stored.get(), stored->totalSize));
  const std::string json = DescriptionImageToJson(stored.get());
  EXPECT_NE(json.find(R"("nickname": "\u00e9t\\\u0001")"), std::string::npos) << json.substr(0, 200);
}

}  // namespace
}  // namespace qvx
