// Where each control of the data-file window sits, in dialog units (a quarter of the average
// character width across, an eighth of the character height down), so that the window scales
// with its font and the display's DPI. Kastelorizo's window takes the same places for the
// controls it has. The progress row at the bottom belongs to the Win32 window: the bar, the
// text and the Cancel button of the running job.
#pragma once

#include "programs/win32/single_point_layout.h"

namespace vortan {

inline constexpr int kDataFileWidth = 560;  // the form's size in dialog units
inline constexpr int kDataFileHeight = 398;

// The progress row's controls, which the form's table does not have.
inline constexpr std::string_view kProgressText = "JobProgressText";
inline constexpr std::string_view kProgressBar = "JobProgressBar";
inline constexpr std::string_view kCancelButton = "JobCancel";

inline constexpr Place kDataFilePlaces[] = {
    // Notes, pictures, help and the threads of a job.
    {"Image1", 6, 6, 32, 32},
    {"Label20", 44, 6, 398, 9},
    {"Label14", 44, 17, 398, 9},
    {"Image2", 448, 6, 32, 32},
    {"Command6", 486, 6, 68, 16},
    {"ThreadsLabel", 448, 44, 70, 9},
    {"Threads", 518, 42, 36, 12},
    // The initial step, the parameters, the grid header and the grid files.
    {"Command3", 6, 40, 210, 18},
    {"Label22", 6, 64, 74, 9},
    {"Text45", 6, 74, 74, 12},
    {"Label23", 84, 64, 74, 9},
    {"Text46", 84, 74, 74, 12},
    {"Label24", 162, 64, 74, 9},
    {"Text47", 162, 74, 74, 12},
    {"Label25", 240, 64, 74, 9},
    {"Text48", 240, 74, 74, 12},
    {"Label26", 318, 64, 74, 9},
    {"Text49", 318, 74, 74, 12},
    {"Label27", 396, 64, 74, 9},
    {"Text50", 396, 74, 74, 12},
    {"Label28", 474, 64, 80, 9},
    {"Text51", 474, 74, 80, 12},
    {"Label9", 6, 92, 100, 9},
    {"Text14", 6, 102, 48, 12},
    {"Text15", 58, 102, 48, 12},
    {"Label10", 112, 92, 52, 9},
    {"Text1", 112, 102, 52, 12},
    {"Label11", 170, 92, 186, 9},
    {"Text2", 170, 102, 90, 12},
    {"Text4", 264, 102, 90, 12},
    {"Label12", 362, 92, 192, 9},
    {"Text3", 362, 102, 90, 12},
    {"Text5", 456, 102, 90, 12},
    {"Label15", 6, 122, 60, 9},
    {"Text6", 68, 120, 170, 12},
    {"Text7", 242, 120, 170, 12},
    {"TestData", 418, 122, 136, 9},
    // HTRS07 to GGRS87: the two jobs, each button above the boxes of its files.
    {"Frame1", 6, 138, 272, 176},
    {"Label17", 12, 150, 260, 18},
    {"Command4", 12, 170, 260, 14},
    {"Text8", 12, 186, 260, 12},
    {"Text9", 12, 200, 260, 12},
    {"Command2", 12, 216, 260, 22},
    {"Text10", 12, 240, 260, 12},
    {"Text11", 12, 254, 260, 12},
    {"Text12", 12, 268, 260, 12},
    {"Text13", 12, 282, 260, 12},
    {"Text16", 12, 296, 260, 12},
    // GGRS87 to HTRS07.
    {"Frame2", 282, 138, 272, 176},
    {"Label18", 288, 150, 260, 18},
    {"Command5", 288, 170, 260, 14},
    {"Text21", 288, 186, 260, 12},
    {"Text22", 288, 200, 260, 12},
    {"Command1", 288, 216, 260, 22},
    {"Text17", 288, 240, 260, 12},
    {"Text18", 288, 254, 260, 12},
    {"Text19", 288, 268, 260, 12},
    {"Text20", 288, 282, 260, 12},
    // The line under the jobs, then the running job's progress.
    {"StatusLine", 6, 318, 548, 56},
    {kProgressText, 6, 378, 330, 17},
    {kProgressBar, 340, 379, 130, 12},
    {kCancelButton, 474, 377, 80, 14},
};

}  // namespace vortan
