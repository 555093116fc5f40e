#include <cerrno>
#include <cstring>
#include <string>

#include "io/files.h"

namespace vortan {

std::string SystemReasonGreek(int error) {
  switch (error) {
    case ENOENT: return "δεν υπάρχει τέτοιο αρχείο ή φάκελος";
    case EACCES: return "δεν επιτρέπεται η πρόσβαση";
    case EISDIR: return "είναι φάκελος";
    case ENOSPC: return "δεν υπάρχει ελεύθερος χώρος στον δίσκο";
    case EFBIG: return "το αρχείο έφτασε το μεγαλύτερο επιτρεπτό μέγεθος";
    case EROFS: return "ο δίσκος είναι μόνο για ανάγνωση";
#if defined(EDQUOT)
    case EDQUOT: return "εξαντλήθηκε το όριο χώρου του χρήστη στον δίσκο";
#endif
    case EMFILE:
    case ENFILE: return "είναι ανοιχτά πάρα πολλά αρχεία";
    case ENAMETOOLONG: return "το όνομα είναι πολύ μεγάλο";
    case EPIPE: return "το πρόγραμμα που το διάβαζε τερμάτισε";
#if defined(_WIN32)
    case ETXTBSY: return "είναι ανοιχτό σε άλλο πρόγραμμα· κλείστε το εκεί";
    case EINVAL:
      return "το όνομα δεν επιτρέπεται στα Windows (χωρίς : * ? \" < > | σε όνομα αρχείου)";
#endif
    default: return "σφάλμα του συστήματος " + std::to_string(error) + ": " + SystemReason(error);
  }
}

}  // namespace vortan
