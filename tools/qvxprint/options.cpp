#include "options.h"

#include <charconv>
#include <filesystem>

namespace qvx::print {
namespace {

int ParseInt(const std::string& option, const std::string& text, int min, int max) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < min || value > max) {
    throw UsageError(option + " needs a whole number from " + std::to_string(min) + " to " +
                     std::to_string(max) + ", not '" + text + "'");
  }
  return value;
}

// "WIDTHxHEIGHT" in millimetres, up to one decimal: "100x148", "210.5x297".
std::pair<int, int> ParseCustomSize(const std::string& text) {
  const auto x = text.find('x');
  auto tenths = [&](const std::string& part) {
    const auto dot = part.find('.');
    std::string whole = part.substr(0, dot);
    std::string frac = dot == std::string::npos ? "0" : part.substr(dot + 1);
    if (whole.empty() || frac.size() != 1) {
      throw UsageError("--custom needs WIDTHxHEIGHT in millimetres (at most one decimal), not '" + text + "'");
    }
    return ParseInt("--custom", whole, 0, 9999) * 10 + ParseInt("--custom", frac, 0, 9);
  };
  if (x == std::string::npos) {
    throw UsageError("--custom needs WIDTHxHEIGHT in millimetres, not '" + text + "'");
  }
  return {tenths(text.substr(0, x)), tenths(text.substr(x + 1))};
}

Quality ParseQuality(const std::string& text) {
  for (Quality q : {Quality::Draft, Quality::Normal, Quality::High, Quality::Best}) {
    if (text == QualityName(q)) return q;
  }
  throw UsageError("--quality is one of draft, normal, high, best; not '" + text + "'");
}

template <typename T>
void SetOnce(std::optional<T>& slot, T value, const std::string& what) {
  if (slot && *slot != value) throw UsageError(what);
  slot = value;
}

}  // namespace

const char* QualityName(Quality q) {
  switch (q) {
    case Quality::Draft: return "draft";
    case Quality::Normal: return "normal";
    case Quality::High: return "high";
    case Quality::Best: return "best";
  }
  return "?";
}

int QualityCode(Quality q) {
  switch (q) {
    case Quality::Draft: return -1;
    case Quality::Normal: return -2;
    case Quality::High: return -3;
    case Quality::Best: return -4;
  }
  return -3;
}

Options ParseCommandLine(const std::vector<std::string>& args) {
  Options o;
  std::vector<std::string> inputs;
  bool endOfOptions = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasInlineValue = false;
    if (!endOfOptions && arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
      value = arg.substr(arg.find('=') + 1);
      arg = arg.substr(0, arg.find('='));
      hasInlineValue = true;
    }
    auto next = [&]() -> std::string {
      if (hasInlineValue) return value;
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    auto flag = [&]() {
      if (hasInlineValue) throw UsageError(arg + " takes no value");
    };

    if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
      inputs.push_back(arg);
    } else if (arg == "--") {
      endOfOptions = true;
    } else if (arg == "-h" || arg == "--help") {
      flag(); o.help = true;
    } else if (arg == "--version") {
      flag(); o.version = true;
    } else if (arg == "-o" || arg == "--output") {
      if (!o.output.empty()) throw UsageError("-o is given twice");
      o.output = next();
      if (o.output.empty()) throw UsageError("-o needs a file name");
    } else if (arg == "--ppd") {
      o.ppd = next();
    } else if (arg == "--preview") {
      o.previewDir = next();
      if (o.previewDir.empty()) throw UsageError("--preview needs a folder");
    } else if (arg == "--encoder") {
      o.encoder = next();
    } else if (arg == "--decoder") {
      o.decoder = next();
    } else if (arg == "--media") {
      o.media = next();
    } else if (arg == "--quality") {
      o.quality = ParseQuality(next());
    } else if (arg == "--paper") {
      o.paper = next();
    } else if (arg == "--custom") {
      const auto [w, h] = ParseCustomSize(next());
      o.customWidth = w;
      o.customHeight = h;
    } else if (arg == "--borderless") {
      flag(); o.borderless = true;
    } else if (arg == "--landscape" || arg == "--portrait") {
      flag(); SetOnce(o.landscape, arg == "--landscape", "--portrait and --landscape conflict");
    } else if (arg == "--color" || arg == "--colour" || arg == "--mono") {
      flag(); SetOnce(o.color, arg != "--mono", "--color and --mono conflict");
    } else if (arg == "--copies") {
      o.copies = ParseInt(arg, next(), 1, 999);
    } else if (arg == "--collate") {
      flag(); o.collate = true;
    } else if (arg == "--reverse") {
      flag(); o.reverse = true;
    } else if (arg == "--timing") {
      flag(); o.timing = true;
    } else if (arg == "--progress" || arg == "--no-progress") {
      flag(); o.progress = arg == "--progress";
    } else {
      throw UsageError("unknown option " + arg + " (see --help)");
    }
  }
  if (o.help || o.version) return o;

  if (inputs.empty()) throw UsageError("no input document given");
  if (inputs.size() > 1) throw UsageError("more than one input given: '" + inputs[1] + "'");
  o.input = inputs[0];
  if (o.output.empty()) throw UsageError("no output given: -o OUT.prn");
  if (o.customWidth && o.paper) throw UsageError("--custom and --paper conflict");
  if (o.customWidth && o.borderless) throw UsageError("--custom and --borderless conflict: custom sizes print with margins");

  // Writing over the document being printed would destroy it.
  std::error_code ec;
  if (std::filesystem::equivalent(o.input, o.output, ec)) {
    throw UsageError("the output '" + o.output + "' is the input document");
  }
  return o;
}

std::string UsageText() {
  return R"(usage: qvxprint [options] INPUT -o OUT.prn

Prints INPUT (PDF, XPS/OpenXPS, PNG or JPEG) through the QVX raster encoder
into a printer command stream.

  -o, --output FILE    command stream to write (required)
      --ppd FILE       printer description (default: the bundled example model)
      --media NAME     media type: keyword of the description's MediaType list
                       (e.g. Plain_Paper, Glossy_Paper) or its code
      --quality Q      draft, normal, high or best
      --paper NAME     paper size: keyword of the description's Paper list
                       (e.g. A4, Letter, A4_BL) or its code
      --custom WxH     custom paper size in millimetres, e.g. 100x148
      --borderless     borderless printing on a paper that allows it
      --portrait, --landscape
      --color, --mono
      --copies N       1 to 999
      --collate        collate copies
      --reverse        print the last page first
      --preview DIR    write PNG previews of what would print into DIR
      --encoder FILE   encoder library (default: libqvxenc.so beside the tool)
      --decoder FILE   qvxdecode program used for previews
      --progress, --no-progress
                       progress on stderr (default: when stderr is a terminal)
      --timing         print where the time went (rendering, encoder) on stderr
  -h, --help           this text
      --version

Exit status: 0 printed; 1 internal failure; 2 unknown, missing or conflicting
options; 3 input missing, unreadable or damaged; 4 unsupported input; 5 output
or preview could not be written; 6 encoder missing or failed; 7 printer
description unreadable or lacking the requested setting; 130 interrupted
(the partial output is removed).
)";
}

}  // namespace qvx::print
