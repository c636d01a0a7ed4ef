// qvxdecode: shows what the printer would print from a command stream.
//
// usage: qvxdecode [--png PREFIX] [--scale S] [--json FILE] [--regions N] STREAM
//   --png PREFIX   write PREFIX-<page>.png previews (simulated drops on white)
//   --scale S      preview pixels per source pixel, 0 < S <= 1 (default 0.25)
//   --json FILE    write the summary there (default: standard output)
//   --regions N    ink coverage in an N x N grid of regions (default 4)
// Exit status 0 when the stream is well formed, 1 when a command is malformed
// (the summary tells its byte offset), 2 on usage or file errors.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decoder.h"

namespace {

bool WritePng(const std::string& path, const std::vector<uint8_t>& rgb, int w, int h) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info && !setjmp(png_jmpbuf(png));
  if (ok) {
    png_init_io(png, f);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; ++y) png_write_row(png, const_cast<png_bytep>(rgb.data() + size_t(y) * w * 3));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pngPrefix, jsonPath, input;
  double scale = 0.25;
  int regions = 4;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--png" && i + 1 < argc) pngPrefix = argv[++i];
    else if (a == "--scale" && i + 1 < argc) scale = std::atof(argv[++i]);
    else if (a == "--json" && i + 1 < argc) jsonPath = argv[++i];
    else if (a == "--regions" && i + 1 < argc) regions = std::atoi(argv[++i]);
    else if (!a.empty() && a[0] != '-' && input.empty()) input = a;
    else {
      std::fprintf(stderr, "usage: qvxdecode [--png PREFIX] [--scale S] [--json FILE] [--regions N] STREAM\n");
      return 2;
    }
  }
  if (input.empty() || !(scale > 0 && scale <= 1) || regions < 1 || regions > 64) {
    std::fprintf(stderr, "qvxdecode: need a stream file, 0 < scale <= 1 and 1..64 regions\n");
    return 2;
  }
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "qvxdecode: cannot read %s\n", input.c_str());
    return 2;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const qvx::decode::Stream stream = qvx::decode::DecodeStream(bytes.data(), bytes.size());
  const std::string json = qvx::decode::SummaryJson(stream, regions);
  if (jsonPath.empty()) {
    std::fputs(json.c_str(), stdout);
  } else {
    std::ofstream(jsonPath) << json;
  }
  if (!pngPrefix.empty()) {
    for (size_t i = 0; i < stream.pages.size(); ++i) {
      const auto& p = stream.pages[i];
      if (p.replication == 0 || p.Lines() == 0) continue;
      int w = 0, h = 0;
      const int sw = p.DotsAcross() / p.replication;
      const int sh = int((p.Lines() + p.linesPerRow - 1) / p.linesPerRow);
      const auto rgb = qvx::decode::RenderPage(p, sw, sh, scale, &w, &h);
      const std::string path = pngPrefix + "-" + std::to_string(i + 1) + ".png";
      if (!WritePng(path, rgb, w, h)) {
        std::fprintf(stderr, "qvxdecode: cannot write %s\n", path.c_str());
        return 2;
      }
    }
  }
  if (!stream.ok) std::fprintf(stderr, "qvxdecode: malformed command at byte %zu: %s\n", stream.errorOffset, stream.error.c_str());
  return stream.ok ? 0 : 1;
}
