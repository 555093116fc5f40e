// The controls of the single-point window: name, kind, initial text, hover text, initial
// state and background colour, for the region of the program. The window is built from this
// table, and a conversion that stops resets its result boxes to these initial texts.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "app/grid_places.h"
#include "transform/region_profile.h"

namespace vortan {

enum class ControlKind { kLabel, kBox, kButton, kGroup, kPicture };

// Backgrounds of the Easting and Northing boxes, RGB; 0 is the default background.
inline constexpr std::uint32_t kGgrs87Colour = 0xC0FFFF;  // light cyan: GGRS87 E, N
inline constexpr std::uint32_t kHtrs07Colour = 0xFFE0C0;  // light orange: HTRS07 E, N

struct Control {
  std::string_view name;  // the Qt object name, "Text11"
  ControlKind kind;
  std::string_view text;  // caption of a label, button or group; initial text of a box
  std::string_view tip;   // hover text, "" for none
  bool enabled;           // at start
  std::uint32_t background;
};

// The mainland window's note under the grid size that says which folder the grids came from.
inline constexpr std::string_view kGridFolderLabel = "GridFolder";


// The note under the GGRS87 -> HTRS07 results that says how a packed latitude or longitude
// typed as decimal degrees is written.
inline constexpr std::string_view kDegreesNoticeLabel = "DegreesNotice";

enum class Region { kMainland, kKastelorizo };

// Kastelorizo is the region without correction grids.
Region RegionOf(const RegionProfile& profile);

// Every control of the window of the profile's region, in reading order: the top area, the
// HTRS07 -> GGRS87 area, the GGRS87 -> HTRS07 area.
std::vector<Control> SinglePointControls(const RegionProfile& profile);

// The control of that name, or null when the window has none.
const Control* FindControl(const std::vector<Control>& controls, std::string_view name);

}  // namespace vortan
