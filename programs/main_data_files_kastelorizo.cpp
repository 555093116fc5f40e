// VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0: the data-file converter of Kastelorizo.
#include "programs/run_program.h"

int main(int argc, char** argv) {
  return vortan::RunDataFileProgram(argc, argv, vortan::ProgramKind::kDataFilesKastelorizo,
                                    vortan::kKastelorizoProfile);
}
