#include "single_point/messages.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "app/bilingual.h"
#include "core/number_format.h"
#include "io/problem.h"

namespace vortan::texts {
namespace {

struct BoxName {
  std::string_view box;
  std::string_view greek;
  std::string_view english;
};

// The input boxes of the three conversions, as the window's captions name them.
constexpr BoxName kBoxNames[] = {
    {"Text1", "E (ΕΓΣΑ87)", "E (GGRS87)"},
    {"Text2", "N (ΕΓΣΑ87)", "N (GGRS87)"},
    {"Text18", "h (ΕΓΣΑ87, με E,N)", "h (GGRS87, with E,N)"},
    {"Text3", "φ (ΕΓΣΑ87)", "φ (GGRS87)"},
    {"Text4", "λ (ΕΓΣΑ87)", "λ (GGRS87)"},
    {"Text19", "h (ΕΓΣΑ87, με φ,λ)", "h (GGRS87, with φ,λ)"},
    {"Text5", "X (HTRS07)", "X (HTRS07)"},
    {"Text6", "Y (HTRS07)", "Y (HTRS07)"},
    {"Text7", "Z (HTRS07)", "Z (HTRS07)"},
    {"Text10", "h (HTRS07)", "h (HTRS07)"},
    {"Text11", "E (HTRS07, TM07)", "E (HTRS07, TM07)"},
    {"Text12", "N (HTRS07, TM07)", "N (HTRS07, TM07)"},
    // The HTRS07 latitude and longitude, where they are typed (the browser page).
    {"Text8", "φ (HTRS07)", "φ (HTRS07)"},
    {"Text9", "λ (HTRS07)", "λ (HTRS07)"},
};

const BoxName* Find(std::string_view box) {
  for (const BoxName& name : kBoxNames) {
    if (name.box == box) return &name;
  }
  return nullptr;
}


// The box's text as a message quotes it, cut short when long.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kLongest = 40;
  std::string quoted = "\"";
  quoted += text.substr(0, kLongest);
  if (text.size() > kLongest) quoted += "...";
  quoted += "\"";
  return quoted;
}

}  // namespace

std::string BoxNameGreek(std::string_view box) {
  const BoxName* name = Find(box);
  return std::string(name != nullptr ? name->greek : box);
}

std::string BoxNameEnglish(std::string_view box) {
  const BoxName* name = Find(box);
  return std::string(name != nullptr ? name->english : box);
}

std::string InitialStepFirstText() {
  return Bilingual(
      "Πατήστε πρώτα το ΑΡΧΙΚΟ ΒΗΜΑ: εισάγει τις παραμέτρους του μετασχηματισμού "
      "(και τους καννάβους διορθώσεων).",
      "Press the initial step (ΑΡΧΙΚΟ ΒΗΜΑ) first: it loads the transformation "
      "parameters (and the correction grids).");
}

std::string NotANumberText(std::string_view box, std::string_view text) {
  const std::string greek = BoxNameGreek(box);
  const std::string english = BoxNameEnglish(box);
  if (text.find_first_not_of(" \t") == std::string_view::npos) {
    return Bilingual("Το πεδίο " + greek +
                    " είναι κενό. Πληκτρολογήστε έναν αριθμό, με την τελεία [.] ως "
                    "διαχωριστικό των δεκαδικών, και πατήστε ξανά το κουμπί.",
                "The box " + english +
                    " is empty. Type a number, with the dot [.] as decimal symbol, and press the "
                    "button again.");
  }
  return Bilingual("Το πεδίο " + greek + " δεν περιέχει αριθμό: " + Quoted(text) +
                  ". Πληκτρολογήστε έναν αριθμό, με την τελεία [.] ως διαχωριστικό των "
                  "δεκαδικών, και πατήστε ξανά το κουμπί.",
              "The box " + english + " does not hold a number: " + Quoted(text) +
                  ". Type a number, with the dot [.] as decimal symbol, and press the button "
                  "again.");
}

std::string TooLargeText(std::string_view box, std::string_view text) {
  return Bilingual("Ο αριθμός στο πεδίο " + BoxNameGreek(box) + " είναι υπερβολικά μεγάλος: " +
                  Quoted(text) + ". Διορθώστε τον και πατήστε ξανά το κουμπί.",
              "The number in the box " + BoxNameEnglish(box) + " is too large: " + Quoted(text) +
                  ". Correct it and press the button again.");
}

std::string OutOfRangeText(std::string_view box, std::string_view text, bool latitude,
                           double degrees) {
  char angle[32];
  std::snprintf(angle, sizeof angle, "%.5f", degrees);
  return Bilingual("Το πεδίο " + BoxNameGreek(box) + " δέχεται " +
                       (latitude ? "γεωγραφικό πλάτος έως ±90°" : "γεωγραφικό μήκος έως ±180°") +
                       " σε DDMMSS.SSSSS: το " + Quoted(text) + " είναι " + angle +
                       "°, που δεν έχει κανένα σημείο της Γης. Διορθώστε το και πατήστε ξανά το "
                       "κουμπί.",
                   "The box " + BoxNameEnglish(box) + " takes a " +
                       (latitude ? "latitude of at most ±90°" : "longitude of at most ±180°") +
                       " as DDMMSS.SSSSS: " + Quoted(text) + " is " + angle +
                       "°, which no point of the Earth has. Correct it and press the button "
                       "again.");
}

std::string NumericFaultText(const std::vector<std::string>& boxes, std::string_view fault) {
  std::string greek, english;
  for (const std::string& box : boxes) {
    if (!greek.empty()) {
      greek += ", ";
      english += ", ";
    }
    greek += BoxNameGreek(box);
    english += BoxNameEnglish(box);
  }
  return Bilingual("Οι τιμές των πεδίων " + greek + " δεν δίνουν έγκυρο αποτέλεσμα (" +
                  FaultNameGreek(fault) + "). Ελέγξτε τις τιμές και πατήστε ξανά το κουμπί.",
              "The values in the boxes " + english + " give no valid result (" +
                  std::string(fault) + "). Check them and press the button again.");
}

std::string GridLoadText(std::string_view error, std::string_view errorGreek,
                         std::string_view folder) {
  const std::string where(folder);
  return Bilingual(
      "Οι διορθωτικοί κάνναβοι δεν φορτώθηκαν από τον φάκελο " + where + ": " +
          std::string(errorGreek) +
          "\r\nΔιορθώστε ή αντικαταστήστε εκεί τα αρχεία dN_2km_V1-0.grd και dE_2km_V1-0.grd "
          "και πατήστε ξανά το ΑΡΧΙΚΟ ΒΗΜΑ.",
      "The correction grids were not loaded from " + where + ": " + std::string(error) +
          "\r\nCorrect or replace the files dN_2km_V1-0.grd and dE_2km_V1-0.grd there and press "
          "the initial step again.");
}

std::string GridsNotFoundText(const std::vector<GridPlace>& places) {
  std::string greek =
      "Τα αρχεία καννάβων dN_2km_V1-0.grd και dE_2km_V1-0.grd δεν βρέθηκαν μαζί σε κανέναν από "
      "τους φακέλους όπου αναζητήθηκαν, με αυτή τη σειρά:";
  std::string english =
      "The grid files dN_2km_V1-0.grd and dE_2km_V1-0.grd were not found together in any of the "
      "folders looked in, in this order:";
  bool installed = false;
  for (const GridPlace& place : places) {
    greek += std::string(kMessageBreak) + "- " + place.folder + " (" + std::string(place.greek);
    english += std::string(kMessageBreak) + "- " + place.folder + " (" + std::string(place.english);
    if (place.dn != place.de) {
      const std::string only = place.dn ? "dN_2km_V1-0.grd" : "dE_2km_V1-0.grd";
      greek += ", όπου υπάρχει μόνο το " + only;
      english += ", which holds only " + only;
    }
    greek += ")";
    english += ")";
    installed = installed || place.english == "the installation's grid folder";
  }
  greek += std::string(kMessageBreak) +
           "Αντιγράψτε τα δύο αρχεία μαζί σε έναν από αυτούς τους φακέλους (στον τρέχοντα "
           "φάκελο για εσάς" +
           (installed ? ", στον φάκελο καννάβων της εγκατάστασης για όλους τους χρήστες" : "") +
           ") και πατήστε ξανά το ΑΡΧΙΚΟ ΒΗΜΑ.";
  english += std::string(kMessageBreak) +
             "Copy both files into one of these folders (the current folder for yourself" +
             (installed ? ", the installation's grid folder for every user" : "") +
             ") and press the initial step again.";
  return Bilingual(greek, english);
}

DegreesHint DecimalDegreesSentences(std::string_view box, double value) {
  const double degrees = std::fabs(value);
  if (!(degrees > 0 && degrees < 100)) return {};
  // Whole seconds to five decimals first, so that 59.999999 seconds become a whole minute.
  const double total = std::round(degrees * 3600 * 1e5) / 1e5;
  const double d = std::floor(total / 3600);
  const double m = std::floor((total - d * 3600) / 60);
  const double s = total - d * 3600 - m * 60;
  const double packed = std::copysign(d * 10000 + m * 100 + s, value);
  const std::string typed = FormatNumber(value, patterns::kPacked);
  const std::string written = FormatNumber(packed, patterns::kPacked);
  return {"Το πεδίο " + BoxNameGreek(box) +
              " δέχεται μοίρες, λεπτά και δεύτερα ως DDMMSS.SSSSS: αν το " + typed +
              " είναι δεκαδικές μοίρες, γράψτε " + written + ".",
          "The box " + BoxNameEnglish(box) +
              " takes degrees, minutes and seconds as DDMMSS.SSSSS: if " + typed +
              " is in decimal degrees, type " + written + "."};
}

std::string DecimalDegreesHint(std::string_view box, double value) {
  const DegreesHint hint = DecimalDegreesSentences(box, value);
  return hint.greek.empty() ? "" : Bilingual(hint.greek, hint.english);
}

std::string DecimalDegreesNotice(double packedLatitude, double packedLongitude,
                                 std::string_view latitudeBox, std::string_view longitudeBox) {
  std::string greek, english;
  for (const auto& [box, value] : {std::pair{latitudeBox, packedLatitude},
                                   std::pair{longitudeBox, packedLongitude}}) {
    const DegreesHint hint = DecimalDegreesSentences(box, value);
    if (hint.greek.empty()) continue;
    greek += (greek.empty() ? "" : " ") + hint.greek;
    english += (english.empty() ? "" : " ") + hint.english;
  }
  return greek.empty() ? "" : greek + "\n" + english;
}

std::string GridFolderText(std::string_view folder) {
  return "Κάνναβοι από / Grids from: " + std::string(folder);
}

}  // namespace vortan::texts
