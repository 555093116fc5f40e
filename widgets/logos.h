// The two logo pictures of the windows (Image1, Image2), the same in all four programs.
#pragma once

#include <QPixmap>

namespace vortan {

// Image1: a globe with its graticule. Image2: a survey pillar under a triangle of sight lines.
// size is the width and height in device-independent pixels.
QPixmap GlobeLogo(int size);
QPixmap SurveyLogo(int size);

}  // namespace vortan
