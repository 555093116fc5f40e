#include "single_point/conversions.h"

#include <cmath>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "app/utf8_path.h"
#include "core/angles.h"
#include "core/cartesian.h"
#include "core/decimal_text.h"
#include "core/geodetic_params.h"
#include "core/number_format.h"
#include "core/numeric_guard.h"
#include "app/grid_places.h"
#include "engine/forms.h"
#include "engine/chains.h"
#include "engine/session.h"
#include "app/programs.h"
#include "single_point/form.h"
#include "single_point/messages.h"

namespace vortan {
namespace {

// A packed angle whose whole degrees do not fit the 16-bit degree field is too large.
constexpr double kLargestPacked = 32767.0 * 10000;

// Result boxes that no conversion reads. A conversion that stops resets those of its results
// that it has not written yet to their initial texts, so that the window never shows the
// results of an earlier point beside new input. Boxes that some conversion reads are left alone.
constexpr std::string_view kCommand1Results[] = {
    "Text26", "Text27", "Text30", "Text31", "Text28", "Text41",
    "Text42", "Text29", "Text43", "Text44", "Text24",
};
constexpr std::string_view kCommand2Results[] = {
    "Text8",  "Text33", "Text34", "Text9",  "Text36", "Text37", "Text13", "Text16", "Text17",
    "Text22", "Text23", "Text20", "Text35", "Text38", "Text21", "Text39", "Text40", "Text32",
};
constexpr std::string_view kCommand5Results[] = {
    "Text8",  "Text33", "Text34", "Text16", "Text17", "Text22", "Text23", "Text20", "Text9",
    "Text36", "Text37", "Text35", "Text38", "Text21", "Text39", "Text40", "Text32", "Text13",
};

// The whole text, blanks around it aside, is one decimal number: sign, digits with at most one
// point, an optional exponent. Names such as "inf" or "nan" are not numbers here. Read with "."
// whatever the locale (the window's locale may use the comma).
bool StrictNumber(std::string_view text, double& value) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  text = text.substr(first, text.find_last_not_of(" \t") - first + 1);
  if (!IsPlainDecimal(text)) return false;
  value = ReadDecimal(text);
  return true;
}

// A latitude and longitude that a projection or a datum step may have returned.
bool OnTheEllipsoid(double phi, double lambda) {
  const double pi = 4 * std::atan(1.0);
  return std::isfinite(phi) && std::isfinite(lambda) && std::fabs(phi) <= pi / 2 &&
         std::fabs(lambda) <= 2 * pi;
}

// The input boxes whose numbers went into a computation.
using Inputs = std::vector<std::string>;

// One press of a conversion button: reads and writes boxes, and stops with a message.
class Click {
 public:
  // Thrown by the reading and checking steps; the click ends there.
  struct Stopped {
    Outcome outcome;
    std::string title;
    MessageIcon icon;
    MessageButtons buttons;
  };

  Click(Boxes& boxes, std::span<const std::string_view> results, std::vector<Control> controls)
      : boxes_(boxes), results_(results), controls_(std::move(controls)) {}

  // The conversions need the parameters (and grids) of the initial step; the window keeps
  // their buttons disabled until then.
  void RequireInitialStep(bool ready) {
    if (ready) return;
    throw Stopped{{OutcomeStatus::kError, "Command3", texts::InitialStepFirstText()},
                  std::string(texts::kInitialStepTitle),
                  MessageIcon::kInformation,
                  MessageButtons::kOk};
  }

  // Comma refusal: nothing is converted when any of the boxes holds a comma.
  void RefuseComma(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (boxes_.Text(name).find(',') != std::string::npos) {
        throw Stopped{{OutcomeStatus::kRefusedComma, name, texts::CommaText()},
                      std::string(texts::kCommaTitle),
                      MessageIcon::kInformation,
                      MessageButtons::kOkCancel};
      }
    }
  }

  // The number of the box text; empty text is 0, and so is the caption a box shows until a
  // value is typed or written ("h (ελλειψοειδές)"). A text that is more than a number (a typo
  // such as "566296.5a1", letters) is refused, naming the box, and infinity as too large.
  double Number(const char* name) {
    const std::string text = boxes_.Text(name);
    if (ShowsItsCaption(name, text)) return 0;
    if (!IsWholeNumberText(text)) {
      throw Stopped{{OutcomeStatus::kError, name, texts::NotANumberText(name, text)},
                    std::string(texts::kInvalidNumberTitle),
                    MessageIcon::kWarning,
                    MessageButtons::kOk};
    }
    const double value = ParseNumberText(text);
    if (!std::isfinite(value)) TooLarge(name, text);
    return value;
  }

  // A packed DDMMSS.SSSSS angle, read as Number; its degrees must fit their 16-bit field.
  double Packed(const char* name) {
    const double value = Number(name);
    if (std::fabs(value) >= kLargestPacked) TooLarge(name, boxes_.Text(name));
    return value;
  }

  // The whole text must be a number; empty text and any other character are refused.
  double StrictNumberOf(const char* name) {
    const std::string text = boxes_.Text(name);
    double value = 0;
    if (!StrictNumber(text, value)) {
      throw Stopped{{OutcomeStatus::kError, name, texts::NotANumberText(name, text)},
                    std::string(texts::kInvalidNumberTitle),
                    MessageIcon::kWarning,
                    MessageButtons::kOk};
    }
    if (!std::isfinite(value)) TooLarge(name, text);
    return value;
  }

  // Stops when the computation since the guard was set raised a numeric fault, naming the
  // boxes whose numbers went into it.
  void Check(const NumericGuard& guard, const Inputs& inputs) {
    if (guard.Clean()) return;
    Fault(guard.Fault(), inputs);
  }

  // Stops when a latitude, longitude computed from the inputs lies on no ellipsoid.
  void CheckAngles(double phi, double lambda, const Inputs& inputs) {
    if (!OnTheEllipsoid(phi, lambda)) Fault("invalid operation", inputs);
  }

  // box: the input box to correct; hints: lines that follow the message, "" for none.
  void OutsideGrid(const char* box, const std::string& hints = "") {
    std::string text(texts::kOutsideGridText);
    if (!hints.empty()) text += "\r\n\r\n" + hints;
    throw Stopped{{OutcomeStatus::kOutsideGrid, box, text},
                  std::string(texts::kOutsideGridTitle),
                  MessageIcon::kInformation,
                  MessageButtons::kOkCancel};
  }

  void Write(const char* name, double value, NumberPattern pattern) {
    WriteText(name, FormatNumber(value, pattern));
  }

  void WriteText(const char* name, const std::string& text) {
    boxes_.SetText(name, text);
    written_.insert(name);
  }

  // Degrees, minutes ("00") and seconds (".00000") of an angle in three boxes; an angle that
  // could not be split is a numeric fault of the computation with the numbers of inputs.
  void WriteDms(const char* degrees, const char* minutes, const char* seconds,
                const std::optional<Dms>& dms, const Inputs& inputs) {
    if (!dms) Fault("invalid operation", inputs);
    Write(degrees, dms->degrees, patterns::kDegrees);
    Write(minutes, dms->minutes, patterns::kDegrees);
    Write(seconds, dms->seconds, patterns::kSeconds);
  }

  // After a stop: results not written in this click go back to their initial texts.
  void ResetUnwritten() {
    for (std::string_view name : results_) {
      const Control* control = FindControl(controls_, name);
      if (control == nullptr || written_.count(std::string(name)) != 0) continue;
      boxes_.SetText(std::string(name), std::string(control->text));
    }
  }

  // Stops at a packed latitude beyond 90 degrees or longitude beyond 180 degrees.
  void CheckRange(const char* latitudeBox, double latitude, const char* longitudeBox,
                  double longitude) {
    const int bad = GeographicOutOfRange(latitude, longitude);
    if (bad < 0) return;
    const char* box = bad == 0 ? latitudeBox : longitudeBox;
    throw Stopped{{OutcomeStatus::kError, box,
                   texts::OutOfRangeText(box, boxes_.Text(box), bad == 0,
                                         (bad == 0 ? latitude : longitude) * 180 / kPi)},
                  std::string(texts::kInvalidNumberTitle),
                  MessageIcon::kWarning,
                  MessageButtons::kOk};
  }

  // Stops with a numeric fault of the computation with the numbers of these boxes.
  [[noreturn]] void Fault(const std::string& fault, const Inputs& inputs) {
    throw Stopped{{OutcomeStatus::kError, inputs.size() == 1 ? inputs.front() : "",
                   texts::NumericFaultText(inputs, fault)},
                  std::string(texts::kNumericFaultTitle),
                  MessageIcon::kWarning,
                  MessageButtons::kOk};
  }

 private:
  [[noreturn]] void TooLarge(const char* name, const std::string& text) {
    throw Stopped{{OutcomeStatus::kError, name, texts::TooLargeText(name, text)},
                  std::string(texts::kInvalidNumberTitle),
                  MessageIcon::kWarning,
                  MessageButtons::kOk};
  }

  // Whether the box shows the text the window gave it, when that text is a caption, no number.
  bool ShowsItsCaption(const char* name, const std::string& text) const {
    const Control* control = FindControl(controls_, name);
    return control != nullptr && !control->text.empty() && text == control->text &&
           !IsWholeNumberText(text);
  }

  Boxes& boxes_;
  std::span<const std::string_view> results_;
  std::vector<Control> controls_;  // the window's controls, with their initial texts
  std::set<std::string> written_;
};

// Runs one click; a stop shows its message, resets the unwritten results and is returned.
Outcome Run(const RegionProfile& profile, Boxes& boxes, Platform& platform,
            std::span<const std::string_view> results, const std::function<void(Click&)>& body) {
  Click click(boxes, results, SinglePointControls(profile));
  try {
    body(click);
  } catch (const Click::Stopped& stop) {
    platform.ShowMessage(stop.title, stop.outcome.message, stop.icon, stop.buttons);
    click.ResetUnwritten();
    return stop.outcome;
  }
  return {};
}

}  // namespace

SinglePointConversions::SinglePointConversions(const RegionProfile& profile, Boxes& boxes,
                                               Platform& platform)
    // The boxes show numbers printed to their decimals: the routines of the files (the lanes
    // where they run), which print the same digits as the plain ones.
    : session_(profile, 1, Routines::kLanes, kSinglePointBounds),
      boxes_(boxes),
      platform_(platform) {}

Outcome SinglePointConversions::Command3_Click() {
  const RegionProfile& profile = session_.region();
  const TransformContext& context = session_.context();
  const bool grids = profile.hasGrids;

  // The grids come from the first place that holds both files: the current directory, the
  // program's folder, the installation's grid folder.
  std::error_code ec;
  const std::vector<GridPlace> places =
      LookForGrids(Utf8OfPath(std::filesystem::current_path(ec)), platform_.ProgramFolder(),
                   kDnGridFileName, kDeGridFileName);
  const GridPlace* place = FirstWithBoth(places);
  const std::filesystem::path folder = PathOfUtf8(place != nullptr ? place->folder : "");
  std::string errorGreek;
  std::string error = session_.LoadGrids(Utf8OfPath(folder / kDnGridFileName),
                                         Utf8OfPath(folder / kDeGridFileName), &errorGreek);
  initialStep_ = true;
  if (grids && place == nullptr) {
    error = texts::GridsNotFoundText(places);
  } else if (!error.empty()) {
    error = texts::GridLoadText(error, errorGreek, Utf8OfPath(folder));
  }

  const HelmertParams& p = context.helmert;
  const double shown[] = {p.tx, p.ty, p.tz, p.ex, p.ey, p.ez};
  const char* boxes[] = {"Text45", "Text46", "Text47", "Text48", "Text49", "Text50"};
  const int count = profile.shownParameterCount;
  for (int k = 0; k < count && k < 6; ++k) {
    boxes_.SetText(boxes[k], FormatNumber(shown[k], patterns::kMetres));
    boxes_.SetEnabled(boxes[k], false);
  }
  if (count >= 7) {
    boxes_.SetText("Text51", FormatNumber(p.ds, patterns::kScaleDifference));
    boxes_.SetEnabled("Text51", false);
  }

  if (grids) {
    // The grid size, or the initial texts again when the grids did not load.
    const std::vector<Control> controls = SinglePointControls(profile);
    for (const char* box : {"Text14", "Text15"}) {
      const Control* control = FindControl(controls, box);
      if (control != nullptr) boxes_.SetText(box, std::string(control->text));
      boxes_.SetEnabled(box, context.grids == nullptr);
    }
    if (context.grids != nullptr) {
      const GridHeader& header = context.grids->dE.header;
      boxes_.SetText("Text14", FormatNumber(header.rowCount, patterns::kCount));
      boxes_.SetText("Text15", FormatNumber(header.columnCount, patterns::kCount));
    }
    // The synthetic test grids, found where no others are, are marked as test data.
    const bool synthetic = context.grids != nullptr && AreSyntheticGrids(*context.grids);
    std::string folderNote =
        context.grids != nullptr ? texts::GridFolderText(Utf8OfPath(folder)) : "";
    if (synthetic) {
      folderNote += "\n" + std::string(texts::kSyntheticGridsGreek) + "\n" +
                    std::string(texts::kSyntheticGridsEnglish);
    }
    boxes_.SetText(std::string(kGridFolderLabel), folderNote);
    boxes_.SetText(std::string(kTestDataLabel), synthetic ? std::string(texts::kTestDataMark) : "");
  }

  const bool ready = session_.Ready();
  for (const char* button : {"Command1", "Command2", "Command5"}) boxes_.SetEnabled(button, ready);
  if (error.empty()) return {};

  Outcome outcome{OutcomeStatus::kError, "", error};
  platform_.ShowMessage(std::string(texts::kGridFileTitle), outcome.message, MessageIcon::kWarning,
                        MessageButtons::kOk);
  return outcome;
}

Outcome SinglePointConversions::Command1_Click() {
  const RegionProfile& profile = session_.region();
  return Run(profile, boxes_, platform_, kCommand1Results, [&](Click& click) {
    click.RequireInitialStep(initialStep_ && session_.Ready());
    boxes_.SetText(std::string(kDegreesNoticeLabel), "");
    click.RefuseComma({"Text1", "Text2", "Text18"});
    const double e87 = click.Number("Text1");
    const double n87 = click.Number("Text2");
    // The point in every form; the boxes show the values of its chain across the datum.
    EveryForm every;
    const PointResult& r = every.chain;
    Inputs inputs = {"Text1", "Text2", "Text18"};
    // The form of the point that the user did not give is written back into its input group
    // once the point has converted: a conversion that stops leaves both groups as they were.
    std::function<void()> writeOtherForm;
    if (e87 != 0 || n87 != 0) {
      // The E,N,h group: latitude and longitude from E, N.
      const double h = click.Number("Text18");
      every = session_.PointInEveryForm(Form::kGgrs87Tm87, {e87, n87, h}, false);
      if (r.failed == Stage::kGgrs87Geographic) click.Fault(r.fault, {"Text1", "Text2"});
      click.CheckAngles(r.ggrs87.latitude, r.ggrs87.longitude, {"Text1", "Text2"});
      writeOtherForm = [&] {
        click.Write("Text3", r.ggrs87.packedLatitude, patterns::kPacked);
        click.Write("Text4", r.ggrs87.packedLongitude, patterns::kPacked);
        click.WriteText("Text19", boxes_.Text("Text18"));
      };
    } else {
      // The phi,lambda,h group: E, N from latitude and longitude.
      inputs = {"Text3", "Text4", "Text19"};
      click.RefuseComma({"Text3", "Text4", "Text19"});
      const double packedPhi = click.Packed("Text3");
      const double packedLambda = click.Packed("Text4");
      const double h = click.Number("Text19");
      NumericGuard guard;
      const double phi87 = PackedToRadians(packedPhi).radians;
      const double lambda87 = PackedToRadians(packedLambda).radians;
      click.Check(guard, {"Text3", "Text4"});
      click.CheckRange("Text3", phi87, "Text4", lambda87);
      // A packed angle below 100 is most likely decimal degrees: the conversion goes on, and
      // the notice beside its results says how the value is written.
      boxes_.SetText(std::string(kDegreesNoticeLabel),
                     texts::DecimalDegreesNotice(packedPhi, packedLambda));
      every = session_.PointInEveryForm(Form::kGgrs87Geographic, {phi87, lambda87, h}, false);
      if (r.failed == Stage::kTm87) click.Fault(r.fault, {"Text3", "Text4"});
      writeOtherForm = [&] {
        click.Write("Text1", r.ggrs87.easting, patterns::kMetres);
        click.Write("Text2", r.ggrs87.northing, patterns::kMetres);
        click.WriteText("Text18", boxes_.Text("Text19"));
      };
    }

    if (r.status == PointStatus::kFault) click.Fault(r.fault, inputs);
    if (r.status == PointStatus::kOutsideGrid) {
      // The out-of-grid message repeats the hint for decimal degrees.
      std::string hints;
      if (inputs.front() == "Text3") {
        for (const char* box : {"Text3", "Text4"}) {
          const std::string hint = texts::DecimalDegreesHint(box, click.Number(box));
          if (!hint.empty()) hints += (hints.empty() ? "" : "\r\n\r\n") + hint;
        }
      }
      click.OutsideGrid(inputs.front().c_str(), hints);
    }
    click.CheckAngles(r.htrs07.latitude, r.htrs07.longitude, inputs);
    writeOtherForm();

    if (profile.hasGrids) {
      click.Write("Text26", every.dECm, patterns::kCentimetres);
      click.Write("Text27", every.dNCm, patterns::kCentimetres);
    }
    click.Write("Text30", r.htrs07.easting, patterns::kMetres);
    click.Write("Text31", r.htrs07.northing, patterns::kMetres);
    click.WriteDms("Text28", "Text41", "Text42", every.htrs07Latitude, inputs);
    click.WriteDms("Text29", "Text43", "Text44", every.htrs07Longitude, inputs);
    if (RegionOf(profile) == Region::kKastelorizo) {
      click.Write("Text24", r.htrs07.height, patterns::kHeight);
    }
  });
}

namespace {

// The GGRS87 boxes of Command2 and Command5, once the datum step has run.
void ShowGgrs87(Click& click, const RegionProfile& profile, const EveryForm& every,
                const Inputs& inputs) {
  const PointResult& r = every.chain;
  if (r.status == PointStatus::kFault) click.Fault(r.fault, inputs);
  if (r.status == PointStatus::kOutsideGrid) click.OutsideGrid(inputs.front().c_str());
  click.CheckAngles(r.ggrs87.latitude, r.ggrs87.longitude, inputs);

  if (profile.hasGrids) {
    click.Write("Text16", every.dECm, patterns::kCentimetres);
    click.Write("Text17", every.dNCm, patterns::kCentimetres);
  }
  click.Write("Text22", r.ggrs87.easting, patterns::kMetres);
  click.Write("Text23", r.ggrs87.northing, patterns::kMetres);
  click.WriteDms("Text20", "Text35", "Text38", every.ggrs87Latitude, inputs);
  click.WriteDms("Text21", "Text39", "Text40", every.ggrs87Longitude, inputs);
  if (RegionOf(profile) == Region::kKastelorizo) {
    click.Write("Text32", r.ggrs87.height, patterns::kMetres);
  }
}

}  // namespace

Outcome SinglePointConversions::Command2_Click() {
  const RegionProfile& profile = session_.region();
  return Run(profile, boxes_, platform_, kCommand2Results, [&](Click& click) {
    click.RequireInitialStep(initialStep_ && session_.Ready());
    click.RefuseComma({"Text5", "Text6", "Text7"});
    const double x = click.Number("Text5");
    const double y = click.Number("Text6");
    const double z = click.Number("Text7");
    const Inputs inputs = {"Text5", "Text6", "Text7"};

    const EveryForm every = session_.PointInEveryForm(Form::kHtrs07Xyz, {x, y, z}, false);
    const PointResult& r = every.chain;
    if (r.failed == Stage::kHtrs07Geographic || r.failed == Stage::kTm07) {
      click.Fault(r.fault, inputs);
    }
    const Htrs07Values& h = r.htrs07;
    click.CheckAngles(h.latitude, h.longitude, inputs);

    // The extent test comes with the datum step, after the HTRS07 boxes are filled.
    click.WriteDms("Text8", "Text33", "Text34", every.htrs07Latitude, inputs);
    click.WriteDms("Text9", "Text36", "Text37", every.htrs07Longitude, inputs);
    click.Write("Text10", h.height, patterns::kMetres);
    click.Write("Text11", h.easting, patterns::kMetres);
    click.Write("Text12", h.northing, patterns::kMetres);
    click.Write("Text13", every.tm07Scale, patterns::kScale);

    ShowGgrs87(click, profile, every, inputs);
  });
}

Outcome SinglePointConversions::Command5_Click() {
  const RegionProfile& profile = session_.region();
  return Run(profile, boxes_, platform_, kCommand5Results, [&](Click& click) {
    click.RequireInitialStep(initialStep_ && session_.Ready());
    click.RefuseComma({"Text10", "Text11", "Text12"});
    const double e07 = click.StrictNumberOf("Text11");
    const double n07 = click.StrictNumberOf("Text12");
    const double h = click.Number("Text10");

    // The extent test comes first, at the given TM07 position.
    const EveryForm every = session_.PointInEveryForm(Form::kHtrs07Tm07, {e07, n07, h}, false);
    const PointResult& r = every.chain;
    if (r.status == PointStatus::kOutsideGrid && r.completed == 0) {
      // The box to correct: E when it lies outside the extent, N otherwise.
      const GridBounds& bounds = session_.context().bounds;
      const bool eastingOutside = e07 < bounds.eMin || e07 > bounds.eMax;
      click.OutsideGrid(eastingOutside ? "Text11" : "Text12");
    }
    if (r.failed == Stage::kHtrs07Geographic) click.Fault(r.fault, {"Text11", "Text12"});
    click.CheckAngles(r.htrs07.latitude, r.htrs07.longitude, {"Text11", "Text12"});
    if (r.failed == Stage::kHtrs07Xyz) click.Fault(r.fault, {"Text11", "Text12", "Text10"});

    // The scale box shows the scale factor of this point, at its latitude and longitude.
    if (std::isnan(every.tm07Scale)) {
      click.Fault(*every.tm07ScaleFault != '\0' ? every.tm07ScaleFault : "invalid operation",
                  {"Text11", "Text12"});
    }

    click.WriteDms("Text8", "Text33", "Text34", every.htrs07Latitude, {"Text11", "Text12"});
    click.WriteDms("Text9", "Text36", "Text37", every.htrs07Longitude, {"Text11", "Text12"});
    click.Write("Text13", every.tm07Scale, patterns::kScale);
    click.Write("Text5", r.htrs07.x, patterns::kMetres);
    click.Write("Text6", r.htrs07.y, patterns::kMetres);
    click.Write("Text7", r.htrs07.z, patterns::kMetres);

    ShowGgrs87(click, profile, every, {"Text11", "Text12", "Text10"});
  });
}

}  // namespace vortan
