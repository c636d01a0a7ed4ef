// qvxdesc: compiles a printer description (or reads a compiled cache file) and
// prints it as JSON.
//   qvxdesc FILE.ppd            parse and compile; no cache file is written
//   qvxdesc --load FILE.ppd     as the driver loads it: cache file used or rebuilt
//   qvxdesc --cache FILE.QDD    read a cache file
#include <cstdio>
#include <cstring>
#include <string>

#include "description_file_access.h"
#include "description_image.h"
#include "description_json.h"

namespace {

int Usage() {
  std::fputs("usage: qvxdesc [--load | --cache] FILE\n", stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string mode;
  int arg = 1;
  if (std::strcmp(argv[arg], "--load") == 0 || std::strcmp(argv[arg], "--cache") == 0) mode = argv[arg++];
  if (arg + 1 != argc) return Usage();
  const std::filesystem::path path = argv[arg];

  qvx::DescriptionImagePtr image;
  if (mode == "--load") {
    image = qvx::LoadDescriptionImage(path);
  } else if (mode == "--cache") {
    qvx::MappedFile file;
    if (file.Open(path)) image = qvx::AdoptImageBytes(file.Bytes());
  } else {
    qvx::DescriptionImagePtr stored = qvx::CompileDescription(qvx::ParseDescriptionFile(path), path);
    if (stored && qvx::RelocateImage(stored.get(), stored->totalSize)) image = std::move(stored);
  }
  if (!image) {
    std::fprintf(stderr, "qvxdesc: %s: not a usable description\n", argv[arg]);
    return 1;
  }
  const std::string json = qvx::DescriptionImageToJson(image.get());
  std::fwrite(json.data(), 1, json.size(), stdout);
  return 0;
}
