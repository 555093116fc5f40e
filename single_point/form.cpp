#include "single_point/form.h"

#include <algorithm>
#include <utility>

namespace vortan {
namespace {

constexpr std::uint32_t kDefault = 0;

// The mainland window, top area first, then the HTRS07 -> GGRS87 area, then the way back.
// Texts keep their blanks as written, doubled and trailing ones included.
const Control kMainlandControls[] = {
    {"Label20", ControlKind::kLabel,
     "'Εκδοση βασιζόμενη σε ένα 3Δ 7-παραμετρικό μοντέλο μετασχηματισμού Helmert και σε "
     "διορθωτικούς καννάβους   ΔΕ, ΔΝ.",
     "", true, kDefault},
    {"Label14", ControlKind::kLabel,
     "Σημ.:Αυτή η έκδοση ΔΕΝ εφαρμόζεται για την περιοχή του Καστελόριζου.", "", true, kDefault},
    {"Command4", ControlKind::kButton, "ΒΟΗΘΕΙΑ", "", true, kDefault},
    {"Image1", ControlKind::kPicture, "", "", true, kDefault},
    {"Image2", ControlKind::kPicture, "", "", true, kDefault},
    {"Command3", ControlKind::kButton, "ΑΡΧΙΚΟ ΒΗΜΑ : Εισαγωγή καννάβων και παραμέτρων >",
     "STEP-1 : Needs to be executed FIRST !!!", true, kDefault},
    {"Text14", ControlKind::kBox, "γραμμές", "πλήθος γραμμών καννάβου", true, kDefault},
    {"Text15", ControlKind::kBox, "στήλες", "πλήθος στηλών καννάβου", true, kDefault},
    {kTestDataLabel, ControlKind::kLabel, "", "", true, kDefault},
    {kGridFolderLabel, ControlKind::kLabel, "", "", true, kDefault},
    {"Label22", ControlKind::kLabel, "tx", "", true, kDefault},
    {"Label23", ControlKind::kLabel, "ty", "", true, kDefault},
    {"Label24", ControlKind::kLabel, "tz", "", true, kDefault},
    {"Text45", ControlKind::kBox, "", "", true, kDefault},
    {"Text46", ControlKind::kBox, "", "", true, kDefault},
    {"Text47", ControlKind::kBox, "", "", true, kDefault},
    {"Label25", ControlKind::kLabel, "εx", "", true, kDefault},
    {"Label26", ControlKind::kLabel, "εy", "", true, kDefault},
    {"Label27", ControlKind::kLabel, "εz", "", true, kDefault},
    {"Text48", ControlKind::kBox, "", "", true, kDefault},
    {"Text49", ControlKind::kBox, "", "", true, kDefault},
    {"Text50", ControlKind::kBox, "", "", true, kDefault},
    {"Label28", ControlKind::kLabel, "ds", "", true, kDefault},
    {"Text51", ControlKind::kBox, "", "", true, kDefault},
    {"Label17", ControlKind::kLabel,
     "Μετασχηματισμός από  HTRS07 (VORTAN ETRF2005/2007.5)  σε ΕΓΣΑ87 (φ,λ και  E,N)", "", true,
     kDefault},
    {"Label3", ControlKind::kLabel, "ΔΩΣΕ:   X,Y,Z στο HTRS07 (VORTAN) ETRF2005/2007.5  [μέτρα]",
     "", true, kDefault},
    {"Text5", ControlKind::kBox, "4382064.771", "X", true, kDefault},
    {"Text6", ControlKind::kBox, "2023782.319", "Y", true, kDefault},
    {"Text7", ControlKind::kBox, "4155326.131", "Z", true, kDefault},
    {"Command2", ControlKind::kButton, "Μετατροπή και Μετασχ/σμός  >", "", false, kDefault},
    {"Frame1", ControlKind::kGroup, "HTRS07 φ,λ,h και E,N,scale",
     "φ,λ are box-separated in ° ' '', while h(ellipsoidal) and E,N are given in meters", true,
     kDefault},
    {"Text8", ControlKind::kBox, "φ °", "degrees of latitude", true, kDefault},
    {"Text33", ControlKind::kBox, "'", "minutes", true, kDefault},
    {"Text34", ControlKind::kBox, "''", "seconds", true, kDefault},
    {"Text9", ControlKind::kBox, "λ °", "degrees of longitude", true, kDefault},
    {"Text36", ControlKind::kBox, "'", "minutes", true, kDefault},
    {"Text37", ControlKind::kBox, "''", "seconds", true, kDefault},
    {"Text10", ControlKind::kBox, "h (ελλειψοειδές)",
     "Ellipoidal height h=H+N. If N is unknown, enter H. If H is unknown, enter 0.", true,
     kDefault},
    {"Text11", ControlKind::kBox, "E", "Easting", true, kHtrs07Colour},
    {"Text12", ControlKind::kBox, "N", "Northing", true, kHtrs07Colour},
    {"Text13", ControlKind::kBox, "scale", "scale", true, kDefault},
    {"Label5", ControlKind::kLabel, "Διορθώσεις καννάβου [cm]", "", true, kDefault},
    {"Text16", ControlKind::kBox, "", "dE in cm", true, kDefault},
    {"Text17", ControlKind::kBox, "", "dN in cm", true, kDefault},
    {"Command5", ControlKind::kButton, "ΤΜ07(E,N,h) σε ΤΜ87(E,N)", "", false, kDefault},
    {"Frame2", ControlKind::kGroup, "ΕΓΣΑ87 φ,λ   και E,N",
     "φ,λ are box-separated in ° ' '' while  E,N are given in meters", true, kDefault},
    {"Text20", ControlKind::kBox, "φ", "degrees of latitude", true, kDefault},
    {"Text35", ControlKind::kBox, "'", "minutes", true, kDefault},
    {"Text38", ControlKind::kBox, "''", "seconds", true, kDefault},
    {"Text21", ControlKind::kBox, "λ", "degrees of longitude", true, kDefault},
    {"Text39", ControlKind::kBox, "'", "minutes", true, kDefault},
    {"Text40", ControlKind::kBox, "''", "seconds", true, kDefault},
    {"Text22", ControlKind::kBox, "Ε", "Easting", true, kGgrs87Colour},
    {"Text23", ControlKind::kBox, "Ν", "Northing", true, kGgrs87Colour},
    {"Text32", ControlKind::kBox, "προσεγ. h (ελλειψοειδές)", "approximate ELLIPSOIDAL height",
     true, kDefault},
    {"Label18", ControlKind::kLabel,
     "Μετασχηματισμός από ΕΓΣΑ87 (E,N,h) ή (φ,λ,h)  σε  HTRS07 (VORTAN E,N και φ,λ)", "", true,
     kDefault},
    {"Label13", ControlKind::kLabel,
     "ΔΩΣΕ :  (E,N,h) στο ΕΓΣΑ87,      [ ή (φ,λ,h) έχοντας όμως κενά    τα πεδία Ε,Ν ] ", "", true,
     kDefault},
    {"Frame5", ControlKind::kGroup, "ΕΓΣΑ87 E,N,h [m]",
     "If you enter E,N,h here, the SW will first convert to φ,λ,h ", true, kDefault},
    {"Text1", ControlKind::kBox, "566296.541", "Easting", true, kGgrs87Colour},
    {"Text2", ControlKind::kBox, "4529332.314", "Northing", true, kGgrs87Colour},
    {"Text18", ControlKind::kBox, "6.501",
     "Ellipoidal height h=H+N. If N is unknown, enter H. If H is unknown, enter 0.", true,
     kDefault},
    {"Frame3", ControlKind::kGroup, "ΕΓΣΑ87 φ,λ [DDMMSS.SSSSS] , h[m]",
     "If you prefer to enter φ,λ,h  in here, you MUST FIRST CLEAR the E,N,h values above", true,
     kDefault},
    {"Text3", ControlKind::kBox, "405444.68271", "latitude in DDMMSS.SSSSS", true, kDefault},
    {"Text4", ControlKind::kBox, "244714.08889", "longitude in DDMMSS.SSSSS", true, kDefault},
    {"Text19", ControlKind::kBox, "6.501",
     "Ellipoidal height h=H+N. If N is unknown, enter H. If H is unknown, enter 0.", true,
     kDefault},
    {"Command1", ControlKind::kButton, "Μετατροπή και Μετασχ/σμός >", "", false, kDefault},
    {"Label19", ControlKind::kLabel, "Διορθώσεις καννάβου [cm]", "", true, kDefault},
    {"Text26", ControlKind::kBox, "", "dE in cm", true, kDefault},
    {"Text27", ControlKind::kBox, "", "dN in cm", true, kDefault},
    {"Frame4", ControlKind::kGroup, "HTRS07 φ,λ   και E,N",
     "φ,λ are box-separated in ° ' '' while  E,N are given  in meters", true, kDefault},
    {"Text28", ControlKind::kBox, "φ", "degrees of latitude", true, kDefault},
    {"Text41", ControlKind::kBox, "'", "minutes", true, kDefault},
    {"Text42", ControlKind::kBox, "''", "seconds", true, kDefault},
    {"Text29", ControlKind::kBox, "λ", "degrees of longitude", true, kDefault},
    {"Text43", ControlKind::kBox, "'", "minutes", true, kDefault},
    {"Text44", ControlKind::kBox, "''", "seconds", true, kDefault},
    {"Text30", ControlKind::kBox, "E", "Easting", true, kHtrs07Colour},
    {"Text31", ControlKind::kBox, "N", "Northing", true, kHtrs07Colour},
    {"Text24", ControlKind::kBox, "h (ελλειψοειδές)",
     "ελλειψοειδές h=H+N, όπου Ν η αποχή γεωειδούς.", true, kDefault},
    {kDegreesNoticeLabel, ControlKind::kLabel, "", "", true, kDefault},
};

// Kastelorizo: no grids, so no grid-size and correction boxes, and three parameters only.
constexpr std::string_view kKastelorizoMissing[] = {
    "Text14", "Text15", "Text16", "Text17",  "Text26",  "Text27",  "Text48",  "Text49",
    "Text50", "Text51", "Label5", "Label19", "Label25", "Label26", "Label27", "Label28",
    kGridFolderLabel, kTestDataLabel,
};

struct TextChange {
  std::string_view name;
  std::string_view text;  // the initial text, unchanged when null
  std::string_view tip;   // the hover text, unchanged when null
};

const TextChange kKastelorizoTexts[] = {
    {"Label20", "'Εκδοση βασιζόμενη σε ένα 3-παραμετρικό 3Δ μοντέλο μετασχηματισμού ", {}},
    {"Label14", "Σημ.: Αυτή η έκδοση εφαρμόζεται ΜΟΝΟ για την περιοχή του Καστελόριζου", {}},
    {"Frame2", "ΕΓΣΑ87 φ,λ και E,N",
     "φ,λ are box-separated in ° ' '' while  h,E,N are given in meters"},
    {"Frame4", "HTRS07 φ,λ,h   και E,N", {}},
    {"Frame5", {}, "IF you enter E,N,h here, the SW will first convert to φ,λ,h "},
    {"Text18", "0.",
     "Ellipsoidal height h=H+N. If N is unknown, enter H. If H is unknown, enter 0."},
    {"Text19", "0.",
     "Ellipsoidal height h=H+N. If N is unknown, enter H. If H is unknown, enter 0."},
    {"Text10", {}, "Ellipsoidal height h=H+N. If N is unknown, give H. If H is unknown, give 0."},
    {"Text1", "733033.382", {}},
    {"Text2", "4003432.07", {}},
    {"Text3", "360851.49460", "latidude in DDMMSS.SSSSS"},
    {"Text4", "293524.57467", {}},
    {"Text5", "4483880.358", {}},
    {"Text6", "2546197.179", {}},
    {"Text7", "3741457.925", {}},
};

}  // namespace

Region RegionOf(const RegionProfile& profile) {
  return profile.hasGrids ? Region::kMainland : Region::kKastelorizo;
}

std::vector<Control> SinglePointControls(const RegionProfile& profile) {
  std::vector<Control> controls(std::begin(kMainlandControls), std::end(kMainlandControls));
  for (Control& control : controls) {
    if (control.name == "Command3") control.text = profile.initialStepCaption;
  }
  if (RegionOf(profile) == Region::kMainland) return controls;

  std::erase_if(controls, [](const Control& control) {
    return std::find(std::begin(kKastelorizoMissing), std::end(kKastelorizoMissing),
                     control.name) != std::end(kKastelorizoMissing);
  });
  for (const TextChange& change : kKastelorizoTexts) {
    for (Control& control : controls) {
      if (control.name != change.name) continue;
      if (change.text.data() != nullptr) control.text = change.text;
      if (change.tip.data() != nullptr) control.tip = change.tip;
    }
  }
  return controls;
}

const Control* FindControl(const std::vector<Control>& controls, std::string_view name) {
  for (const Control& control : controls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

}  // namespace vortan
