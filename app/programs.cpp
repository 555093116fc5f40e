#include "app/programs.h"

#include <filesystem>
#include <stdexcept>

#include "app/bilingual.h"

namespace vortan {
namespace {

const ProgramInfo kPrograms[] = {
    {ProgramKind::kSinglePointMainland, "VORTAN_TRANSFORM_Single-Point_V1-0",
     "Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  / Εισαγωγή συντεταγμένων με πληκτρολόγηση /  ver. 1.0",
     "Command4", "VORTAN_TRANSFORM_Single-Point_V1-0_HELP.pdf", "1.0.0.1"},
    {ProgramKind::kDataFilesMainland, "VORTAN_TRANSFORM_Data-Files_V1-0",
     "Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  / Εισαγωγή Συντεταγμένων μέσω αρχείων /  Ver.1.0",
     "Command6", "VORTAN_TRANSFORM_Data-Files_V1-0_HELP.pdf", "1.0.0.12"},
    {ProgramKind::kSinglePointKastelorizo, "VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0",
     "Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  / Εισαγωγή συντεταγμένων με πληκτρολόγηση /  ver. 1.0 / "
     "ΚΑΣΤΕΛΟΡΙΖΟ",
     "Command4", "VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0_HELP.pdf", "1.0.0.1"},
    {ProgramKind::kDataFilesKastelorizo, "VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0",
     "Μετασχηματισμός HTRS07 <> ΕΓΣΑ87  /   Εισαγωγή Συντεταγμένων μέσω αρχείων /  Ver.1.0  /  "
     "ΚΑΣΤΕΛΟΡΙΖΟ",
     "Command6", "VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0_HELP.pdf", "1.0.0.13"},
};


// A regular file, not hidden (a name beginning with a dot), not a folder.
bool IsPlainFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const std::string name = path.filename().string();
  return !name.empty() && name.front() != '.';
}

}  // namespace

const ProgramInfo& InfoOf(ProgramKind kind) {
  for (const ProgramInfo& info : kPrograms) {
    if (info.kind == kind) return info;
  }
  throw std::logic_error("InfoOf: a program kind without a program");
}

namespace texts {

std::string NoticeText() {
  return Bilingual(
      "Για την ορθή λειτουργία του προγράμματος, ο ΗΥ σας πρέπει να χρησιμοποιεί την τελεία [.] "
      "ως διαχωριστικό των δεκαδικών. Παρακαλούμε, ελέγξτε τις Τοπικές Ρυθμίσεις (στον Πίνακα "
      "Ελέγχου) και τροποποιήστε τις, εάν βέβαια απαιτείται. Ενδεχομένως, θα πρέπει να "
      "επαναφέρετε τις αρχικές ρυθμίσεις, μετά την εκτέλεση του παρόντος προγράμματος, εφόσον το "
      "απαιτούν άλλες εφαρμογές.",
      "This software requires the dot [.] as decimal symbol (delimiter character, separator). "
      "Please, check and modify the Regional and Language Settings (in the Control Panel), "
      "keeping in mind that you may need to restore the original settings,  for other "
      "applications, after running this software.");
}

std::string HelpMissingText(std::string_view helpFileName) {
  const std::string name(helpFileName);
  return Bilingual("Δεν είναι δυνατή η εμφάνιση βοηθείας. Το αρχείο βοηθείας " + name +
                  " πρέπει να βρίσκεται στον ίδιο φάκελο (directory) με το λογισμικό.",
              "It was not possible to display the help file. Please make sure that the help "
              "file: " +
                  name + " is in the same directory with the program.");
}

std::string CommaText() {
  return Bilingual("Ως διαχωριστικό των δεκαδικών ψηφίων πρέπει να χρησιμοποιείται η τελεία [.]",
              "The dot [.] must be used as decimal symbol");
}

std::string HelpCannotOpenText(std::string_view path) {
  const std::string file(path);
  return Bilingual("Το αρχείο βοηθείας " + file +
                  " υπάρχει, αλλά το σύστημα δεν μπόρεσε να το ανοίξει: δεν βρέθηκε πρόγραμμα "
                  "προβολής αρχείων PDF. Εγκαταστήστε ένα πρόγραμμα προβολής PDF ή ανοίξτε το "
                  "αρχείο με αυτό που έχετε.",
              "The help file " + file +
                  " is there, but the system could not open it: no PDF viewer was found. "
                  "Install a PDF viewer, or open the file with the one you have.");
}

}  // namespace texts

void ShowStartupNotice(Platform& platform) {
  platform.ShowMessage(std::string(texts::kNoticeTitle), texts::NoticeText(),
                       MessageIcon::kInformation, MessageButtons::kOk);
}

void OpenHelp(Platform& platform, std::string_view helpFileName) {
  const std::filesystem::path path =
      std::filesystem::path(platform.ProgramFolder()) / std::string(helpFileName);
  if (IsPlainFile(path)) {
    const std::string file = path.string();
    platform.OpenDocument(file, [&platform, file] {
      platform.ShowMessage(std::string(texts::kHelpMissingTitle), texts::HelpCannotOpenText(file),
                           MessageIcon::kInformation, MessageButtons::kOk);
    });
    return;
  }
  platform.ShowMessage(std::string(texts::kHelpMissingTitle),
                       texts::HelpMissingText(helpFileName), MessageIcon::kInformation,
                       MessageButtons::kOkCancel);
}

}  // namespace vortan
