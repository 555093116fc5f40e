// VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0: one point typed into the window, Kastelorizo
// profile (no correction grids).
#include "programs/run_program.h"

int main(int argc, char** argv) {
  return vortan::RunSinglePointProgram(argc, argv, vortan::ProgramKind::kSinglePointKastelorizo,
                                       vortan::kKastelorizoProfile);
}
