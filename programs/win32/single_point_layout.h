// Where each control of the single-point window sits, in dialog units (a quarter of the
// average character width across, an eighth of the character height down), so that the
// window scales with its font and the display's DPI. Kastelorizo's window takes the same
// places for the controls it has.
#pragma once

#include "programs/win32/form_frame.h"

namespace vortan {

inline constexpr int kSinglePointWidth = 620;   // the form's size in dialog units
inline constexpr int kSinglePointHeight = 314;

inline constexpr Place kSinglePointPlaces[] = {
    // The top area: notes, help, the initial step with the grid size and the parameters.
    {"Image1", 6, 6, 32, 32},
    {"Label20", 44, 6, 468, 9},
    {"Label14", 44, 17, 468, 9},
    {"Command4", 522, 6, 56, 14},
    {"Image2", 582, 6, 32, 32},
    {"Command3", 44, 28, 178, 20},
    {"Text14", 226, 31, 40, 12},
    {"Text15", 270, 31, 40, 12},
    {"Label22", 318, 33, 12, 9},
    {"Text45", 332, 31, 58, 12},
    {"Label23", 396, 33, 12, 9},
    {"Text46", 410, 31, 58, 12},
    {"Label24", 474, 33, 12, 9},
    {"Text47", 488, 31, 58, 12},
    {"Label25", 318, 48, 12, 9},
    {"Text48", 332, 46, 58, 12},
    {"Label26", 396, 48, 12, 9},
    {"Text49", 410, 46, 58, 12},
    {"Label27", 474, 48, 12, 9},
    {"Text50", 488, 46, 58, 12},
    {"Label28", 552, 48, 12, 9},
    {"Text51", 564, 46, 50, 12},
    {"TestData", 44, 51, 268, 9},
    {"GridFolder", 44, 62, 570, 9},
    // HTRS07 X, Y, Z to GGRS87.
    {"Label17", 6, 80, 608, 9},
    {"Label3", 6, 92, 112, 26},
    {"Text5", 6, 120, 84, 12},
    {"Text6", 6, 134, 84, 12},
    {"Text7", 6, 148, 84, 12},
    {"Command2", 6, 164, 112, 14},
    {"Frame1", 122, 90, 200, 76},
    {"Text8", 128, 102, 26, 12},
    {"Text33", 156, 102, 22, 12},
    {"Text34", 180, 102, 46, 12},
    {"Text11", 232, 102, 84, 12},
    {"Text9", 128, 118, 26, 12},
    {"Text36", 156, 118, 22, 12},
    {"Text37", 180, 118, 46, 12},
    {"Text12", 232, 118, 84, 12},
    {"Text10", 128, 134, 98, 12},
    {"Text13", 232, 134, 84, 12},
    {"Label5", 328, 92, 92, 9},
    {"Text16", 328, 104, 60, 12},
    {"Text17", 328, 118, 60, 12},
    {"Command5", 326, 164, 96, 14},
    {"Frame2", 426, 90, 188, 76},
    {"Text20", 432, 102, 26, 12},
    {"Text35", 460, 102, 22, 12},
    {"Text38", 484, 102, 46, 12},
    {"Text22", 534, 102, 74, 12},
    {"Text21", 432, 118, 26, 12},
    {"Text39", 460, 118, 22, 12},
    {"Text40", 484, 118, 46, 12},
    {"Text23", 534, 118, 74, 12},
    {"Text32", 432, 134, 98, 12},
    // GGRS87 E, N, h or phi, lambda, h to HTRS07.
    {"Label18", 6, 186, 608, 9},
    {"Label13", 6, 198, 608, 9},
    {"Frame5", 6, 210, 204, 30},
    {"Text1", 12, 222, 72, 12},
    {"Text2", 88, 222, 72, 12},
    {"Text18", 164, 222, 40, 12},
    {"Frame3", 6, 244, 204, 30},
    {"Text3", 12, 256, 72, 12},
    {"Text4", 88, 256, 72, 12},
    {"Text19", 164, 256, 40, 12},
    {"Command1", 216, 214, 108, 14},
    {"Label19", 216, 234, 100, 9},
    {"Text26", 216, 246, 60, 12},
    {"Text27", 216, 260, 60, 12},
    {"Frame4", 330, 208, 284, 66},
    {"Text28", 336, 220, 26, 12},
    {"Text41", 364, 220, 22, 12},
    {"Text42", 388, 220, 46, 12},
    {"Text30", 440, 220, 84, 12},
    {"Text29", 336, 236, 26, 12},
    {"Text43", 364, 236, 22, 12},
    {"Text44", 388, 236, 46, 12},
    {"Text31", 440, 236, 84, 12},
    {"Text24", 336, 252, 98, 12},
    {"DegreesNotice", 6, 278, 608, 32},
};

}  // namespace vortan
