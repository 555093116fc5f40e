// VORTAN_TRANSFORM_Single-Point_V1-0.exe: one point typed into the window, mainland profile.
#include <windows.h>

#include "programs/win32/win32_program.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return vortan::RunSinglePointWin32(vortan::ProgramKind::kSinglePointMainland,
                                     vortan::kMainlandProfile);
}
