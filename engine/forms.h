// The five coordinate forms of a point: HTRS07 X, Y, Z; HTRS07 latitude, longitude, height;
// HTRS07 TM07 E, N, h; GGRS87 latitude, longitude, height; GGRS87 TM87 E, N, h.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vortan {

enum class Form {
  kHtrs07Xyz,
  kHtrs07Geographic,
  kHtrs07Tm07,
  kGgrs87Geographic,
  kGgrs87Tm87,
};

inline constexpr std::array<Form, 5> kAllForms = {Form::kHtrs07Xyz, Form::kHtrs07Geographic,
                                                  Form::kHtrs07Tm07, Form::kGgrs87Geographic,
                                                  Form::kGgrs87Tm87};
// The place of a form in kAllForms.
inline constexpr std::size_t FormIndex(Form form) {
  std::size_t i = 0;
  while (i + 1 < kAllForms.size() && kAllForms[i] != form) ++i;
  return i;
}

// "htrs07-xyz", "htrs07-geographic", "htrs07-tm07", "ggrs87-geographic", "ggrs87-tm87".
std::string_view FormName(Form form);
// The form of a name; nothing for a name that is none.
std::optional<Form> FormOfName(std::string_view name);
// The names of the five forms, as messages list them: "htrs07-xyz, htrs07-geographic, ...".
inline std::string FormNameList() {
  std::string names;
  for (Form form : kAllForms) names += (names.empty() ? "" : ", ") + std::string(FormName(form));
  return names;
}

// Whether the form belongs to HTRS07 (else GGRS87).
constexpr bool InHtrs07(Form form) {
  return form == Form::kHtrs07Xyz || form == Form::kHtrs07Geographic ||
         form == Form::kHtrs07Tm07;
}
// Latitude and longitude (radians inside the engine) with the ellipsoidal height.
constexpr bool IsGeographic(Form form) {
  return form == Form::kHtrs07Geographic || form == Form::kGgrs87Geographic;
}
constexpr bool IsProjected(Form form) {
  return form == Form::kHtrs07Tm07 || form == Form::kGgrs87Tm87;
}

// Which coordinate of a latitude, longitude (radians) lies beyond its range, |latitude| <= 90
// degrees and |longitude| <= 180 degrees: 0 the latitude, 1 the longitude, -1 neither. Such a
// point exists on no ellipsoid; it is refused, never converted.
int GeographicOutOfRange(double latitude, double longitude);
// What is wrong with that coordinate, for a message: "latitude beyond ±90°", ...
const char* RangeFault(int coordinate);

// The names of the three coordinates of a form as messages show them: "X", "Y", "Z";
// "φ", "λ", "h"; "E", "N", "h".
std::array<std::string_view, 3> CoordinateNames(Form form);

}  // namespace vortan
