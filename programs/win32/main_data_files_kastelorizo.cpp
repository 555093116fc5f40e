// VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0.exe: coordinate files converted point by point,
// Kastelorizo profile.
#include <windows.h>

#include "programs/win32/win32_program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return vortan::RunDataFilesWin32(vortan::ProgramKind::kDataFilesKastelorizo,
                                   vortan::kKastelorizoProfile);
}
