// ardrawpatterns: draws the pictures of the shipped markers.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/sim_image.h"
#include "tools/patterns/pattern_designs.h"

int main(int argc, char** argv) {
  if (argc >= 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::printf(
        "Usage: ardrawpatterns FOLDER [SIZE]\n"
        "\n"
        "Draws the interior pictures of the shipped markers as SIZE x SIZE grey PNGs (default 256)\n"
        "named FOLDER/<design>.png. Designs:");
    for (const std::string& name : patternDesignNames()) std::printf(" %s", name.c_str());
    std::printf("\nExit status: 0 when all were written, 1 when a file could not be written, 2 on wrong usage.\n");
    return 0;
  }
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "ardrawpatterns: needs a FOLDER and optionally a SIZE (see ardrawpatterns --help)\n");
    return 2;
  }
  char* end = nullptr;
  const long size = argc == 3 ? std::strtol(argv[2], &end, 10) : 256;
  if ((argc == 3 && *end != '\0') || size < 16 || size > 4096) {
    std::fprintf(stderr, "ardrawpatterns: SIZE must be a whole number from 16 to 4096\n");
    return 2;
  }
  for (const std::string& name : patternDesignNames()) {
    SimImage picture;
    drawPatternDesign(name, static_cast<int>(size), &picture);
    const std::string path = std::string(argv[1]) + "/" + name + ".png";
    std::string error;
    if (!simWritePng(path, picture, &error)) {
      std::fprintf(stderr, "ardrawpatterns: %s\n", error.c_str());
      return 1;
    }
    std::printf("wrote \"%s\"\n", path.c_str());
  }
  return 0;
}
