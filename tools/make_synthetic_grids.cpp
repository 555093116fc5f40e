// Writes a synthetic pair of correction grids, dN_2km_V1-0.grd and dE_2km_V1-0.grd, into the
// folder given as the only argument (tools/synthetic_grids.h).
//
// THESE GRIDS ARE SYNTHETIC TEST DATA, NOT THE OFFICIAL CORRECTIONS. For real work the user
// supplies the official grid files.
#include <cstdio>

#include "tools/synthetic_grids.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_synthetic_grids FOLDER\n");
    return 2;
  }
  if (!vortan::WriteSyntheticGrids(argv[1])) {
    std::fprintf(stderr, "make_synthetic_grids: cannot write the grids into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
