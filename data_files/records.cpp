#include "data_files/records.h"

#include <cmath>
#include <stdexcept>

#include "core/angles.h"
#include "core/decimal_text.h"
#include "io/display_text.h"

namespace vortan {

std::string_view LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kSFLh: return "SFLh";
    case Layout::kSENh: return "SENh";
    case Layout::kSXYZ: return "SXYZ";
    case Layout::kSFL: return "SFL";
    case Layout::kSEN: return "SEN";
    case Layout::kSENk: return "SENk";
  }
  throw std::logic_error("LayoutName: not a layout");
}

Layout LayoutOf(Form form) {
  switch (form) {
    case Form::kHtrs07Xyz: return Layout::kSXYZ;
    case Form::kHtrs07Geographic:
    case Form::kGgrs87Geographic: return Layout::kSFLh;
    case Form::kHtrs07Tm07:
    case Form::kGgrs87Tm87: return Layout::kSENh;
  }
  throw std::logic_error("LayoutOf: not a form");
}

const NumberPattern* PatternsOf(Layout layout) {
  namespace pat = patterns;
  static const NumberPattern kAngles[] = {pat::kPacked, pat::kPacked, pat::kMetres};
  static const NumberPattern kMetres[] = {pat::kMetres, pat::kMetres, pat::kMetres};
  static const NumberPattern kScale[] = {pat::kMetres, pat::kMetres, pat::kScale};
  switch (layout) {
    case Layout::kSFLh:
    case Layout::kSFL: return kAngles;
    case Layout::kSENh:
    case Layout::kSXYZ:
    case Layout::kSEN: return kMetres;
    case Layout::kSENk: return kScale;
  }
  throw std::logic_error("PatternsOf: not a layout");
}

LatLon PackedPairToRadians(double packedLatitude, double packedLongitude) {
  return {PackedToRadians(packedLatitude).radians, PackedToRadians(packedLongitude).radians};
}

bool IsExcelRoundedNumber(std::string_view t) {
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  const auto digit = [&](std::size_t i) { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
  if (!digit(0)) return false;
  std::size_t i = 1;
  if (i < t.size() && (t[i] == '.' || t[i] == ',')) {
    if (!digit(i + 1)) return false;
    i += digit(i + 2) ? 3 : 2;
  }
  if (t.size() != i + 4 || t[i] != 'E' || (t[i + 1] != '+' && t[i + 1] != '-') ||
      !digit(i + 2) || !digit(i + 3)) {
    return false;
  }
  return t[i + 1] == '+' && (t[i + 2] - '0') * 10 + (t[i + 3] - '0') >= 3;
}

std::string ExcelRoundedReason(std::string_view text) {
  return "\"" + DisplayText(text) +
         "\" is a number as Excel shows it in a column too narrow for it: three significant "
         "digits, the rest lost. Widen the column (or give it a number format with its "
         "decimals) and save the file again";
}

std::string ExcelRoundedReasonGreek(std::string_view text) {
  return "το \"" + DisplayText(text) +
         "\" είναι αριθμός όπως τον δείχνει το Excel σε στήλη πολύ στενή γι' αυτόν: τρία "
         "σημαντικά ψηφία, τα υπόλοιπα χάθηκαν. Φαρδύνετε τη στήλη (ή δώστε της μορφή αριθμού "
         "με τα δεκαδικά της) και αποθηκεύστε ξανά το αρχείο";
}

std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason) {
  std::string greek;
  return ParseFieldNumber(text, reason, greek);
}

std::optional<double> ParseFieldNumber(std::string_view text, std::string& reason,
                                       std::string& greek) {
  if (text.empty()) {
    reason = "the field is empty";
    greek = "το πεδίο είναι κενό";
    return std::nullopt;
  }
  if (IsExcelRoundedNumber(text)) {
    reason = ExcelRoundedReason(text);
    greek = ExcelRoundedReasonGreek(text);
    return std::nullopt;
  }
  // The field as a message quotes it: its first 40 characters, control characters escaped.
  const auto quoted = [&] {
    return "\"" + DisplayText(text.substr(0, 40)) + (text.size() > 40 ? "..." : "") + "\"";
  };
  if (!IsPlainDecimal(text)) {
    reason = quoted() + " is not a number (write it with digits and \".\" as decimal point)";
    greek = "το " + quoted() + " δεν είναι αριθμός (γράψτε τον με ψηφία και \".\" για "
            "υποδιαστολή)";
    if (text.find(';') != std::string_view::npos) {
      reason += "; the fields seem to be separated by semicolons, where these files use commas";
      greek += "· τα πεδία φαίνεται να χωρίζονται με ελληνικά ερωτηματικά, ενώ αυτά τα αρχεία "
               "χρησιμοποιούν κόμματα";
    } else if (text.find('\t') != std::string_view::npos) {
      reason += "; the fields seem to be separated by tabs, where these files use commas";
      greek += "· τα πεδία φαίνεται να χωρίζονται με στηλοθέτες, ενώ αυτά τα αρχεία "
               "χρησιμοποιούν κόμματα";
    }
    return std::nullopt;
  }
  const double value = ReadDecimal(text);
  if (std::isinf(value)) {
    reason = quoted() + " is too large a number for a coordinate; correct the field";
    greek = "το " + quoted() + " είναι πολύ μεγάλος αριθμός για συντεταγμένη· διορθώστε το "
            "πεδίο";
    return std::nullopt;
  }
  return value;
}

}  // namespace vortan
