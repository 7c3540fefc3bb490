// norvexa-inspect store [--items] FILE | store --layout FILE | nsf FILE
#include "inspect.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

int Usage() {
  std::cerr << "usage: norvexa-inspect store [--items] [--reader norvexa|libpff] FILE\n"
               "       norvexa-inspect store --layout FILE\n"
               "       norvexa-inspect nsf FILE\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  if (command == "store") {
    bool with_items = false, layout = false;
    auto reader = norvexa::inspect::StoreReader::Norvexa;
    std::string file;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--items") == 0) {
        with_items = true;
      } else if (std::strcmp(argv[i], "--layout") == 0) {
        layout = true;
      } else if (std::strcmp(argv[i], "--reader") == 0 && i + 1 < argc) {
        const std::string name = argv[++i];
        if (name == "libpff") reader = norvexa::inspect::StoreReader::Libpff;
        else if (name != "norvexa") return Usage();
      } else if (file.empty()) {
        file = argv[i];
      } else {
        return Usage();
      }
    }
    if (file.empty() || (layout && (with_items || reader != norvexa::inspect::StoreReader::Norvexa))) return Usage();
    if (layout) return norvexa::inspect::InspectLayout(file, std::cout, std::cerr);
    return norvexa::inspect::InspectStore(file, with_items, reader, std::cout, std::cerr);
  }
  if (command == "nsf" && argc == 3) return norvexa::inspect::InspectNsf(argv[2], std::cout, std::cerr);
  return Usage();
}
