// The command line: what it accepts, and a clear refusal for what it cannot.
#include <gtest/gtest.h>

#include <sstream>

#include "options.h"

namespace qvx::print {
namespace {

std::vector<std::string> Split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);
  return args;
}

TEST(Options, RefusesWhatItCannotMeanWithAMessageNamingTheProblem) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"doc.pdf", "no output"},
      {"-o out.prn", "no input"},
      {"a.pdf b.pdf -o out.prn", "more than one input"},
      {"doc.pdf -o out.prn --frobnicate", "unknown option --frobnicate"},
      {"doc.pdf -o", "-o needs a value"},
      {"doc.pdf -o a.prn -o b.prn", "-o is given twice"},
      {"doc.pdf -o out.prn --portrait --landscape", "--portrait and --landscape conflict"},
      {"doc.pdf -o out.prn --color --mono", "--color and --mono conflict"},
      {"doc.pdf -o out.prn --copies 0", "--copies needs a whole number from 1 to 999"},
      {"doc.pdf -o out.prn --copies 1000", "from 1 to 999"},
      {"doc.pdf -o out.prn --copies 2x", "not '2x'"},
      {"doc.pdf -o out.prn --quality superb", "--quality is one of draft, normal, high, best"},
      {"doc.pdf -o out.prn --custom 100", "--custom needs WIDTHxHEIGHT"},
      {"doc.pdf -o out.prn --custom 100.25x148", "at most one decimal"},
      {"doc.pdf -o out.prn --custom 100x148 --paper A4", "--custom and --paper conflict"},
      {"doc.pdf -o out.prn --custom 100x148 --borderless", "--custom and --borderless conflict"},
      {"doc.pdf -o out.prn --collate=yes", "--collate takes no value"},
  };
  for (const auto& c : cases) {
    try {
      ParseCommandLine(Split(c.line));
      ADD_FAILURE() << "accepted: " << c.line;
    } catch (const UsageError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.line << " -> " << e.what();
    }
  }
}

TEST(Options, OutputOverTheInputIsRefused) {
  const std::string self = ::testing::internal::GetArgvs()[0];
  EXPECT_THROW(ParseCommandLine({self, "-o", self}), UsageError);
}

TEST(Options, ReadsEveryBasicSetting) {
  const Options o = ParseCommandLine(Split(
      "--media=Glossy_Paper --quality best --paper A4 --borderless --landscape --mono --copies 3 "
      "--collate --reverse --preview prev --ppd m.ppd doc.pdf -o out.prn"));
  EXPECT_EQ(o.input, "doc.pdf");
  EXPECT_EQ(o.output, "out.prn");
  EXPECT_EQ(o.media, "Glossy_Paper");
  EXPECT_EQ(o.quality, Quality::Best);
  EXPECT_EQ(QualityCode(*o.quality), -4);
  EXPECT_EQ(o.paper, "A4");
  EXPECT_TRUE(o.borderless);
  EXPECT_EQ(o.landscape, true);
  EXPECT_EQ(o.color, false);
  EXPECT_EQ(o.copies, 3);
  EXPECT_TRUE(o.collate);
  EXPECT_TRUE(o.reverse);
  EXPECT_EQ(o.previewDir, "prev");
  EXPECT_EQ(o.ppd, "m.ppd");

  const Options custom = ParseCommandLine(Split("--custom 100.5x148 -o out.prn -- -odd-name.pdf"));
  EXPECT_EQ(custom.customWidth, 1005);
  EXPECT_EQ(custom.customHeight, 1480);
  EXPECT_EQ(custom.input, "-odd-name.pdf");
}

TEST(Options, HelpNeedsNothingElse) {
  EXPECT_TRUE(ParseCommandLine({"--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
  EXPECT_NE(UsageText().find("Exit status"), std::string::npos);
}

}  // namespace
}  // namespace qvx::print
