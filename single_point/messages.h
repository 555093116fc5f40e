// The messages of the single-point conversions beyond the comma and out-of-grid ones of the
// shell: input that is not a number or too large, a numeric fault, grids that will not load.
// Each names the box or the file, says what is wrong and what to do, in Greek and in English.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/grid_places.h"

namespace vortan::texts {

inline constexpr std::string_view kInvalidNumberTitle = "Λάθος Αριθμός - Invalid Number";
inline constexpr std::string_view kNumericFaultTitle = "Σφάλμα Υπολογισμού - Calculation Error";
inline constexpr std::string_view kGridFileTitle = "Αρχείο Καννάβου - Grid File";

inline constexpr std::string_view kInitialStepTitle = "ΑΡΧΙΚΟ ΒΗΜΑ - Initial Step";

// A conversion pressed before the initial step.
std::string InitialStepFirstText();

// How a message names a box: "X (HTRS07)" and the like; the control name for an unknown one.
std::string BoxNameGreek(std::string_view box);
std::string BoxNameEnglish(std::string_view box);

// A box that must hold a number holds none (or nothing).
std::string NotANumberText(std::string_view box, std::string_view text);

// A number too large for the conversion.
std::string TooLargeText(std::string_view box, std::string_view text);

// A latitude beyond 90 degrees or a longitude beyond 180 degrees in a packed box: no point of
// the Earth has it. degrees is the angle the packed text makes.
std::string OutOfRangeText(std::string_view box, std::string_view text, bool latitude,
                           double degrees);

// The computation with the numbers of these boxes gave no valid result; fault is the kind
// ("overflow", ...).
std::string NumericFaultText(const std::vector<std::string>& boxes, std::string_view fault);

// The grid files were found in folder but did not load: error says which file and why.
std::string GridLoadText(std::string_view error, std::string_view errorGreek,
                         std::string_view folder);

// No place holds both grid files: every place looked in, what each holds, where to put them.
std::string GridsNotFoundText(const std::vector<GridPlace>& places);

// What to say when a packed latitude or longitude box holds a value below 100, most likely
// decimal degrees: how that value is written in DDMMSS.SSSSS, a Greek and an English sentence.
// Both empty when the value is 0 or not below 100.
struct DegreesHint {
  std::string greek, english;
};
DegreesHint DecimalDegreesSentences(std::string_view box, double value);

// The hint of one box as paragraphs of a message: the Greek sentence, a blank line, the English
// one. "" when the box needs none.
std::string DecimalDegreesHint(std::string_view box, double value);

// The notice beside the results of a conversion from the packed latitude and longitude boxes
// Text3, Text4 (or the boxes named): the Greek sentences of the boxes that need a hint, a line
// break, the English ones. "" when neither does.
std::string DecimalDegreesNotice(double packedLatitude, double packedLongitude,
                                 std::string_view latitudeBox = "Text3",
                                 std::string_view longitudeBox = "Text4");

// The program-independent name of the folder the grids were loaded from, for the window.
std::string GridFolderText(std::string_view folder);

}  // namespace vortan::texts
