// VORTAN_TRANSFORM_Data-Files_V1-0: the data-file converter of the Greek mainland.
#include "programs/run_program.h"

int main(int argc, char** argv) {
  return vortan::RunDataFileProgram(argc, argv, vortan::ProgramKind::kDataFilesMainland,
                                    vortan::kMainlandProfile);
}
