// What the four programs share beside the conversions: their captions and help files, the
// start-up notice on the decimal separator, and the help button.
#pragma once

#include <string>
#include <string_view>

#include "app/platform.h"

namespace vortan {

enum class ProgramKind {
  kSinglePointMainland,
  kDataFilesMainland,
  kSinglePointKastelorizo,
  kDataFilesKastelorizo,
};

struct ProgramInfo {
  ProgramKind kind;
  std::string_view executable;    // "VORTAN_TRANSFORM_Single-Point_V1-0"
  std::string_view caption;       // window caption
  std::string_view helpButton;    // "Command4" or "Command6"
  std::string_view helpFileName;  // the PDF manual beside the program
  std::string_view fileVersion;   // "1.0.0.1"
};

const ProgramInfo& InfoOf(ProgramKind kind);

// The notice on the decimal separator, shown once each time a window loads (Form_Load).
void ShowStartupNotice(Platform& platform);

// The help button: opens the program's PDF manual from the program's own folder in the
// system's viewer, or says that it is missing, naming the file. A folder, hidden file or
// anything but a regular file of that name counts as missing. When the system cannot open the
// file that is there (no PDF viewer), a message names the file's full path.
void OpenHelp(Platform& platform, std::string_view helpFileName);

// Texts of the system's messages.
namespace texts {
inline constexpr std::string_view kNoticeTitle =
    "HTRS07 <> ΕΓΣΑ87 :  Έλεγχος ρυθμίσεων  -  Setup of Regional Settings";
std::string NoticeText();
inline constexpr std::string_view kHelpMissingTitle = "Αρχείο Βοήθειας - Help File";
std::string HelpMissingText(std::string_view helpFileName);
// The help file is there but the system found no viewer for it; path is the full path.
std::string HelpCannotOpenText(std::string_view path);
inline constexpr std::string_view kCommaTitle = "Λάθος Σύμβολο Διαχωρισμού Ψηφίων";
std::string CommaText();
inline constexpr std::string_view kOutsideGridTitle = "Λανθασμένη Επιλογή Σημείου";
inline constexpr std::string_view kOutsideGridText = "Το σημείο είναι εκτός του καννάβου";
// The synthetic grids in force (AreSyntheticGrids): the red mark beside the grid header, and
// the sentences of the initial step's message, Greek and English.
inline constexpr std::string_view kTestDataMark = "ΔΕΔΟΜΕΝΑ ΔΟΚΙΜΗΣ - TEST DATA";
inline constexpr std::string_view kSyntheticGridsGreek =
    "Οι κάνναβοι είναι συνθετικά δεδομένα δοκιμής, όχι οι επίσημοι: τα αποτελέσματα δεν ισχύουν "
    "για τοπογραφικές εργασίες.";
inline constexpr std::string_view kSyntheticGridsEnglish =
    "The grids are synthetic TEST DATA, not the official ones: the results are not valid for "
    "survey work.";
// The data-file converter's text, followed directly by the point id.
inline constexpr std::string_view kOutsideGridPointText = "Το σημείο είναι εκτός του καννάβου : ";
}  // namespace texts

}  // namespace vortan
