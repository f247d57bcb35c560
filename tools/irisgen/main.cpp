// irisgen: writes the iris-shape library the lens-blur effect reads.
// Usage: irisgen <pattern-folder>
#include <cstdio>
#include <string>

#include "iris_draw.h"

int main(int argc, char** argv) {
  // An option is never a folder name: asking for help must not draw a library called "--help".
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: irisgen <pattern-folder>\n");
    return 2;
  }
  std::string error;
  if (!irisgen::write_library(argv[1], &error)) {
    std::fprintf(stderr, "irisgen: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
