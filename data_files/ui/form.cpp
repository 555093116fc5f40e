#include "data_files/ui/form.h"

#include <iterator>
#include <stdexcept>

#include "data_files/ui/messages.h"

namespace vortan {
namespace {

using Kind = DataFileControlKind;

// Texts of the window that differ between the regions.
struct RegionTexts {
  std::string_view label20;
  std::string_view label14;
  std::string_view command4;
  std::string_view command2;
  std::string_view command5;
};

constexpr RegionTexts kMainlandTexts{
    "Έκδοση βασιζόμενη σε ένα  3Δ 7-παραμετρικό  μοντέλο Helmert και σε διορθωτικούς "
    "καννάβους ΔΕ, ΔΝ.",
    "Σημ. Αυτή η έκδοση ΔΕΝ εφαρμόζεται για την περιοχή του Καστελόριζου.",
    "Εάν απαιτείται :       Μετατροπή     (φ,λ,h) σε ( X,Y,Z)",
    "Μετατροπή  (X,Y,Z) σε (φ,λ,h) και Μετ/σμός  σε ΕΓΣΑ87 (φ,λ) και (E,N)",
    "Εάν απαιτείται :       Μετατροπή      (φ,λ,h) σε ( E,N,h)    ",
};

constexpr RegionTexts kKastelorizoTexts{
    "Έκδοση βασιζόμενη σε ένα 3Δ 3-παραμετρικό  μοντέλο Helmert.",
    "Σημ. Αυτή η έκδοση εφαρμόζεται  MONO για την περιοχή του Καστελόριζου.",
    "Εάν απαιτείται :        Μετατροπή   (φ,λ,h)  σε  (X,Y,Z)",
    "Μετατροπή (X,Y,Z) σε (φ,λ,h)  και Μετ/σμός  σε ΕΓΣΑ87 (φ,λ) και (E,N)",
    "Εάν απαιτείται :          Μετατροπή     (φ,λ,h) σε ( E,N,h)",
};

// The seven parameters' captions and hover texts, in the order of kParameterBoxes; Kastelorizo
// shows the first three.
struct Parameter {
  std::string_view caption;
  std::string_view tip;
};
constexpr Parameter kParameters[] = {
    {"tx", "tx [m]"},   {"ty", "ty [m]"},   {"tz", "tz [m]"},
    {"εx", "εx ['']"}, {"εy", "εy ['']"}, {"εz", "εz ['']"},
    {"ds", "ds (x 1000000 = ppm)"},
};

const std::vector<JobWindow>& JobWindows() {
  static const std::vector<JobWindow> windows = {
      {JobKind::kSflhToSenh, "Command5",
       "Βήμα 4: ΕΓΣΑ87 (φ,λ,h) σε (E,N,h) - Step 4: GGRS87 (φ,λ,h) to (E,N,h)",
       {{"CD14", "Input GGRS87 (φ,λ,h) coordinate file", "Text21"},
        {"CD15", "Output GGRS87 (E,N,h) coordinate file", "Text22"}}},
      {JobKind::kSenhToHtrs07, "Command1",
       "Βήμα 5: ΕΓΣΑ87 (E,N,h) σε HTRS07 (φ,λ) και (E,N) - Step 5: GGRS87 (E,N,h) to HTRS07",
       {{"CD10", "Input GGRS87 (E,N,h) coordinate file", "Text17"},
        {"CD11", "Output GGRS87 (φ,λ,h) coordinate file", "Text18"},
        {"CD12", "Output HTRS07 (φ,λ) coordinate file", "Text19"},
        {"CD13", "Output HTRS07 (E,N) coordinate file", "Text20"}}},
      {JobKind::kSflhToSxyz, "Command4",
       "Βήμα 2: HTRS07 (φ,λ,h) σε (X,Y,Z) - Step 2: HTRS07 (φ,λ,h) to (X,Y,Z)",
       {{"CD3", "Input HTRS07 φ,λ,h coordinates file", "Text8"},
        {"CD4", "Output HTRS07 X,Y,Z coordinates file", "Text9"}}},
      {JobKind::kSxyzToGgrs87, "Command2",
       "Βήμα 3: HTRS07 (X,Y,Z) σε ΕΓΣΑ87 (φ,λ) και (E,N) - Step 3: HTRS07 (X,Y,Z) to GGRS87",
       {{"CD5", "Input HTRS07 X,Y,Z coordinates file", "Text10"},
        {"CD6", "Output HTRS07 φ,λ,h coordinates file", "Text11"},
        {"CD7", "Output HTRS07 E,N,scale coordinates file", "Text12"},
        {"CD8", "Output GGRS87 φ,λ coordinates file", "Text13"},
        {"CD9", "Output GGRS87 E,N coordinates file", "Text16"}}},
  };
  return windows;
}

struct PathBoxDefault {
  std::string_view box;
  std::string_view prefix;
  std::string_view mainlandName;
};

// The path boxes as the window opens; the prefixes keep their blanks.
constexpr PathBoxDefault kPathBoxDefaults[] = {
    {"Text8", "Input file  : ", "HTRS07-SFLh.txt"},
    {"Text9", "Output file: ", "HTRS07-SXYZ.txt"},
    {"Text10", "Input file  : ", "HTRS07-SXYZ.txt"},
    {"Text11", "Output file : ", "HTRS07-SFLh.txt"},
    {"Text12", "Output file : ", "HTRS07-SENK.txt"},
    {"Text13", "Output file : ", "GGRS87-SFL.txt"},
    {"Text16", "Output file : ", "GGRS87-SEN.txt"},
    {"Text21", "Input file  : ", "GGRS87-SFLh.txt"},
    {"Text22", "Output file : ", "GGRS87-SENh.txt"},
    {"Text17", "Input file  : ", "GGRS87-SENh.txt"},
    {"Text18", "Output file : ", "GGRS87-SFLh.txt"},
    {"Text19", "Output file : ", "HTRS07-SFL.txt"},
    {"Text20", "Output file : ", "HTRS07-SEN.txt"},
};

}  // namespace

std::vector<DataFileControl> DataFileForm(const RegionProfile& profile,
                                          std::string_view helpFileName) {
  const RegionTexts& texts = profile.hasGrids ? kMainlandTexts : kKastelorizoTexts;
  std::vector<DataFileControl> form = {
      // Notes, pictures, help and the threads of a job.
      {"Image1", Kind::kPicture, "", ""},
      {"Image2", Kind::kPicture, "", ""},
      {"Label20", Kind::kLabel, std::string(texts.label20), ""},
      {"Label14", Kind::kLabel, std::string(texts.label14), ""},
      {"Command6", Kind::kButton, "ΒΟΗΘΕΙΑ", helpFileName},
      {"Threads", Kind::kThreads, "",
       "Νήματα υπολογισμού / Threads a job computes on (default: every core)"},
      {"ThreadsLabel", Kind::kLabel, "Νήματα / Threads:", ""},
      // The initial step and what it shows.
      {"Command3", Kind::kButton, std::string(profile.initialStepCaption),
       "STEP-1 : Needs to be executed FIRST !!!"},
  };
  for (int k = 0; k < profile.shownParameterCount; ++k) {
    form.push_back({kParameterCaptions[k], Kind::kLabel, std::string(kParameters[k].caption), ""});
    form.push_back({kParameterBoxes[k], Kind::kBox, "", kParameters[k].tip});
  }
  if (profile.hasGrids) {
    const DataFileControl grids[] = {
        {"Label9", Kind::kLabel, "γραμμές / στήλες", ""},
        {"Text14", Kind::kBox, "γραμμές", "πλήθος γραμμών καννάβου"},
        {"Text15", Kind::kBox, "στήλες", "πλήθος στηλών καννάβου"},
        {"Label10", Kind::kLabel, "βήμα [m]", ""},
        {"Text1", Kind::kBox, "", "βήμα καννάβου [m]"},
        {"Label11", Kind::kLabel, "N νότιο / βόρειο [m]", ""},
        {"Text2", Kind::kBox, "", "TM07 N της νότιας γραμμής (southern row)"},
        {"Text4", Kind::kBox, "", "TM07 N της βόρειας γραμμής (northern row)"},
        {"Label12", Kind::kLabel, "E δυτικό / ανατολικό [m]", ""},
        {"Text3", Kind::kBox, "", "TM07 E της δυτικής στήλης (western column)"},
        {"Text5", Kind::kBox, "", "TM07 E της ανατολικής στήλης (eastern column)"},
        {kTestDataLabel, Kind::kLabel, "", ""},
        {"Label15", Kind::kLabel, "Κάνναβοι dN, dE :", ""},
        {"Text6", Kind::kBox, "", "αρχείο καννάβου dN (N-correction grid)"},
        {"Text7", Kind::kBox, "", "αρχείο καννάβου dE (E-correction grid)"},
    };
    form.insert(form.end(), std::begin(grids), std::end(grids));
  }
  // The jobs: the buttons, then each group with its heading and the boxes of its files.
  const DataFileControl buttons[] = {
      {"Command4", Kind::kButton, std::string(texts.command4), "STEP 2 (if needed)"},
      {"Command2", Kind::kButton, std::string(texts.command2), "STEP 3"},
      {"Command5", Kind::kButton, std::string(texts.command5), "STEP 4 (if needed)"},
      {"Command1", Kind::kButton,
       "Μετατροπή (E,N,h) σε (φ,λ,h)  και Μετ/σμός σε HTRS07 (φ,λ) και (E,N)", "STEP 5"},
      {"Frame1", Kind::kGroup,
       "HTRS07 (φ,λ,h) or (X,Y,Z) > HTRS07 (E,N,scale) > ΕΓΣΑ87 (φ,λ) and (E,N)", ""},
      {"Label17", Kind::kLabel,
       "Μετασχηματισμός από HTRS07 (VORTAN ETRF2005/2007.5)  σε  ΕΓΣΑ87 ", ""},
  };
  form.insert(form.end(), std::begin(buttons), std::end(buttons));
  const std::vector<PathBoxText> paths = InitialPathBoxTexts(profile);
  const auto pathBoxes = [&](std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
      for (const PathBoxText& p : paths) {
        if (p.box == name) form.push_back({p.box, Kind::kPathBox, p.text, ""});
      }
    }
  };
  pathBoxes({"Text8", "Text9", "Text10", "Text11", "Text12", "Text13", "Text16"});
  form.push_back({"Frame2", Kind::kGroup,
                  "ΕΓΣΑ87 (E,N,h) <> ΕΓΣΑ87 (φ,λ,h)   > HTRS07 (φ,λ) and (E,N)", ""});
  form.push_back({"Label18", Kind::kLabel, "Μετασχηματισμός από   ΕΓΣΑ87  σε  HTRS07", ""});
  pathBoxes({"Text21", "Text22", "Text17", "Text18", "Text19", "Text20"});
  form.push_back({data_file_texts::kStatusLine, Kind::kLabel,
                  std::string(data_file_texts::kStatusIdle), ""});
  return form;
}

const DataFileControl* FindControl(const std::vector<DataFileControl>& form,
                                   std::string_view name) {
  for (const DataFileControl& control : form) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

std::vector<PathBoxText> InitialPathBoxTexts(const RegionProfile& profile) {
  std::vector<PathBoxText> texts;
  for (const PathBoxDefault& d : kPathBoxDefaults) {
    texts.push_back({d.box, std::string(d.prefix) + RegionFileName(profile, d.mainlandName)});
  }
  return texts;
}

const JobWindow& WindowOf(JobKind kind) {
  for (const JobWindow& window : JobWindows()) {
    if (window.kind == kind) return window;
  }
  throw std::logic_error("WindowOf: a job kind without dialogs");
}

std::optional<JobKind> JobOfButton(std::string_view button) {
  for (const JobWindow& window : JobWindows()) {
    if (window.button == button) return window.kind;
  }
  return std::nullopt;
}

}  // namespace vortan
