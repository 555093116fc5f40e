// The single-point conversions on box texts: the initial step (Command3) and the three
// conversion buttons (Command1, Command2, Command5). Each reads its input boxes, converts the
// point into every form with one call of the program's session (the same call as the C
// library's), writes every result box from it with its format pattern, shows any message
// through the platform layer and returns what happened. Nothing here knows Qt.
#pragma once

#include <string>

#include "app/platform.h"
#include "engine/session.h"
#include "single_point/boxes.h"
#include "transform/datum.h"
#include "transform/region_profile.h"

namespace vortan {

enum class OutcomeStatus {
  kDone,
  kRefusedComma,  // a comma in an input box: nothing converted
  kOutsideGrid,   // the point lies outside the correction grids
  kError,         // bad input, a numeric fault or a grid file that would not load
};

struct Outcome {
  OutcomeStatus status = OutcomeStatus::kDone;
  std::string box;      // the box at fault, "" when the fault is not one box's
  std::string message;  // the text shown to the user, "" when done
};

class SinglePointConversions {
 public:
  // The session takes the profile with the single-point extent; the conversions wait for
  // Command3_Click.
  SinglePointConversions(const RegionProfile& profile, Boxes& boxes, Platform& platform);

  // The initial step: stores the seven parameters and shows them, loads the two grids from
  // the current directory where the region has grids and shows their size, and enables the
  // conversion buttons. A grid that will not load is reported naming the file; the conversion
  // buttons then stay disabled.
  Outcome Command3_Click();

  // GGRS87 E, N, h (or phi, lambda, h with E, N empty or zero) to HTRS07; the form not given
  // is written into its input group once the point has converted. A latitude or longitude
  // below 100 gets the decimal-degree notice beside the results.
  Outcome Command1_Click();

  // HTRS07 X, Y, Z to HTRS07 phi, lambda, h, TM07 E, N, scale and GGRS87.
  Outcome Command2_Click();

  // TM07 E, N, h to HTRS07 phi, lambda, the point scale factor, X, Y, Z and GGRS87.
  Outcome Command5_Click();

  const TransformContext& context() const { return session_.context(); }

 private:
  Session session_;
  bool initialStep_ = false;  // Command3_Click has run
  Boxes& boxes_;
  Platform& platform_;
};

}  // namespace vortan
