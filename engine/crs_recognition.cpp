#include "engine/crs_recognition.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <span>
#include <variant>
#include <vector>

#include "core/float_chars.h"
#include "core/geodetic_params.h"
#include "engine/crs.h"
#include "transform/regions.h"

namespace vortan {
namespace {

// GGRS87 as PROJ and GDAL write it where no datum name survives: its shift to WGS 84
// (+towgs84, TOWGS84[], a BOUNDCRS), EPSG's transformation 1272, to the centimetre it is given.
constexpr std::array<double, 3> kGgrs87ToWgs84 = {-199.87, 74.79, 246.62};
constexpr double kShiftTolerance = 0.005;

constexpr std::size_t kMaxText = std::size_t{1} << 20;
constexpr std::size_t kMaxDepth = 32;

// A reason in English and in Greek.
struct Text {
  std::string en, el;
};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Letters and digits of a name in lower case: "D_GGRS_1987" and "GGRS 1987" read alike.
std::string Squeezed(std::string_view name) {
  std::string out;
  for (const char c : name) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) out += static_cast<char>(std::tolower(u));
  }
  return out;
}

bool Close(double value, double expected, double tolerance) {
  return std::fabs(value - expected) <= tolerance;
}

// A number as a message shows it: 24, 0.9996, -2000000.
std::string Number(double value) {
  if (!std::isfinite(value)) return value != value ? "NaN" : value > 0 ? "inf" : "-inf";
  // The fewest decimals that read back as the value (the shortest fixed form; the browser's
  // library has no to_chars of a double without a precision).
  char buffer[512];
  for (int decimals = 0; decimals <= 17; ++decimals) {
    const auto r = DoubleToChars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                 decimals);
    if (r.ec != std::errc()) return "?";
    double back = 0;
    DoubleFromChars(buffer, r.ptr, back);
    if (back == value || decimals == 17) return std::string(buffer, r.ptr);
  }
  return "?";
}

// A name from the text for a message: at most 80 characters of it, control characters out.
std::string Shown(std::string_view name) {
  std::string out;
  for (const char c : name.substr(0, 80)) {
    out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  }
  if (name.size() > 80) out += "...";
  return out;
}

std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto r = DoubleFromChars(text.data(), text.data() + text.size(), value);
  if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// ---------------------------------------------------------------------------------------------
// What a CRS is, whatever its spelling.

enum class DatumKind { kMissing, kHtrs07, kGgrs87, kUnnamed, kOther };

struct Description {
  std::string name;
  CrsKind kind = CrsKind::kUnknown;
  std::optional<Text> problem;     // no CRS of any form: a text that cannot be read, a kind
  DatumKind datum = DatumKind::kMissing;
  std::string datumName;
  std::optional<Text> ellipsoid;   // not GRS80
  std::optional<Text> meridian;    // not Greenwich
  std::optional<Text> units;       // wrong units or axes: no form fits
  std::optional<Text> projection;  // not a Transverse Mercator
  bool swapped = false;
  double lat0 = 0, lon0 = 0, k0 = 1, x0 = 0, y0 = 0;
};

DatumKind DatumOfName(std::string_view raw) {
  // ESRI names datums with a "D_" in front ("D_Unknown_based_on_GRS80_ellipsoid" in the .prj
  // that GDAL and QGIS write for a TM07 defined by its parameters): the name is what follows.
  if (raw.size() >= 2 && (raw[0] == 'D' || raw[0] == 'd') && raw[1] == '_') raw.remove_prefix(2);
  const std::string name = Squeezed(raw);
  const auto contains = [&](const char* part) { return name.find(part) != std::string::npos; };
  if (contains("greekgeodeticreferencesystem1987") || contains("ggrs1987") ||
      contains("ggrs87")) {
    return DatumKind::kGgrs87;
  }
  if (contains("hellenicterrestrialreferencesystem2007") || contains("htrs07") ||
      contains("htrs2007")) {
    return DatumKind::kHtrs07;
  }
  // "Unknown", "Unknown based on GRS80 ellipsoid" (GDAL, QGIS), "unknown using towgs84=..."
  // (PROJ, for a PROJ string with +a, +rf and +towgs84).
  if (name.empty() || name.starts_with("unknown") || name == "unnamed" ||
      name == "unspecified" || name.starts_with("notspecifiedbasedongrs")) {
    return DatumKind::kUnnamed;
  }
  return DatumKind::kOther;
}

// A datum with no name of ours, told by its shift to WGS 84: GGRS87's, none given (unnamed) or
// another. A zero shift is another too: it says the datum is WGS 84's to the metre, which GGRS87
// is not, and HTRS07 it does not name (ETRS89 is written so as well).
DatumKind DatumOfShift(const std::vector<double>& shift) {
  if (shift.size() < 3) return DatumKind::kUnnamed;
  bool ggrs87 = true;
  for (std::size_t i = 0; i < shift.size(); ++i) {
    ggrs87 = ggrs87 && (i < 3 ? Close(shift[i], kGgrs87ToWgs84[i], kShiftTolerance)
                               : Close(shift[i], 0, 1e-9));
  }
  return ggrs87 ? DatumKind::kGgrs87 : DatumKind::kOther;
}

void CheckEllipsoid(Description& d, std::string_view name, std::optional<double> a,
                    std::optional<double> inverseFlattening) {
  if (a && inverseFlattening && Close(*a, kGrs80SemiMajorAxis, CrsTolerance::kSemiMajorMetres) &&
      Close(*inverseFlattening, kGrs80InverseFlattening, CrsTolerance::kInverseFlattening)) {
    return;
  }
  std::string shown = Shown(name);
  if (a || inverseFlattening) {
    shown += std::string(shown.empty() ? "" : ": ") + "a = " + (a ? Number(*a) : "?") +
             " m, 1/f = " + (inverseFlattening ? Number(*inverseFlattening) : "?");
  }
  const std::string grs80 = "GRS 1980 (a = " + Number(kGrs80SemiMajorAxis) +
                            " m, 1/f = " + Number(kGrs80InverseFlattening) + ")";
  if (shown.empty()) {
    d.ellipsoid = Text{"its ellipsoid is not given", "δεν δίνει ελλειψοειδές"};
  } else {
    d.ellipsoid = Text{"its ellipsoid (" + shown + ") is not " + grs80,
                       "το ελλειψοειδές του (" + shown + ") δεν είναι το " + grs80};
  }
}

// ---------------------------------------------------------------------------------------------
// WKT1, WKT2 and ESRI texts: KEYWORD[item, ...] (or with parentheses), items being quoted texts,
// numbers, bare words and nested nodes.

struct Node;

struct Item {
  enum Kind { kText, kNumber, kWord, kNode } kind = kText;
  std::string text;
  double number = 0;
  std::unique_ptr<Node> node;
};

struct Node {
  std::string keyword;  // upper case
  std::vector<Item> items;

  const Node* Child(std::initializer_list<std::string_view> keywords) const {
    for (const Item& i : items) {
      if (i.kind == Item::kNode &&
          std::find(keywords.begin(), keywords.end(), i.node->keyword) != keywords.end()) {
        return i.node.get();
      }
    }
    return nullptr;
  }
  std::vector<const Node*> Children(std::string_view keyword) const {
    std::vector<const Node*> found;
    for (const Item& i : items) {
      if (i.kind == Item::kNode && i.node->keyword == keyword) found.push_back(i.node.get());
    }
    return found;
  }
  std::string Name() const {
    return !items.empty() && items[0].kind == Item::kText ? items[0].text : std::string();
  }
  std::optional<double> NumberAt(std::size_t index) const {
    if (index < items.size() && items[index].kind == Item::kNumber) return items[index].number;
    return std::nullopt;
  }
  std::string WordAt(std::size_t index) const {
    if (index < items.size() && items[index].kind != Item::kNode) return items[index].text;
    return {};
  }
  // The code of an ID["EPSG",n] or AUTHORITY["EPSG","n"] of this node, 0 where none.
  long Epsg() const {
    for (const Item& i : items) {
      if (i.kind != Item::kNode || (i.node->keyword != "ID" && i.node->keyword != "AUTHORITY")) {
        continue;
      }
      const Node& id = *i.node;
      if (id.items.size() < 2 || Squeezed(id.Name()) != "epsg") continue;
      if (id.items[1].kind == Item::kNumber) return static_cast<long>(id.items[1].number);
      const auto code = ParseNumber(id.items[1].text);
      return code ? static_cast<long>(*code) : 0;
    }
    return 0;
  }
  // The factor of the node's unit (ANGLEUNIT, LENGTHUNIT, SCALEUNIT or UNIT).
  std::optional<double> UnitFactor() const {
    const Node* unit = Child({"ANGLEUNIT", "LENGTHUNIT", "SCALEUNIT", "UNIT"});
    return unit ? unit->NumberAt(1) : std::nullopt;
  }
};

struct ParseError {
  Text text;
};

// The node tree of a WKT text: iterative, one stack of open nodes.
std::variant<std::unique_ptr<Node>, ParseError> ParseWkt(std::string_view text) {
  const auto at = [&](std::size_t pos) {
    const std::string n = std::to_string(pos + 1);
    return ParseError{{"the WKT text cannot be read at character " + n,
                       "το κείμενο WKT δεν διαβάζεται στον χαρακτήρα " + n}};
  };
  std::vector<std::unique_ptr<Node>> stack;
  std::unique_ptr<Node> root;
  bool expectItem = true;
  std::size_t pos = 0;
  const auto skipSpace = [&] {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  };
  for (skipSpace(); pos < text.size(); skipSpace()) {
    if (root) {
      return ParseError{{"the WKT text goes on after its CRS (character " +
                             std::to_string(pos + 1) + ")",
                         "το κείμενο WKT συνεχίζει μετά το σύστημά του (χαρακτήρας " +
                             std::to_string(pos + 1) + ")"}};
    }
    const char c = text[pos];
    if (!expectItem) {
      if (c == ',') {
        expectItem = true;
        ++pos;
        continue;
      }
      if ((c == ']' || c == ')') && !stack.empty()) {
        ++pos;
        std::unique_ptr<Node> done = std::move(stack.back());
        stack.pop_back();
        if (stack.empty()) {
          root = std::move(done);
        } else {
          Item item;
          item.kind = Item::kNode;
          item.node = std::move(done);
          stack.back()->items.push_back(std::move(item));
        }
        continue;
      }
      return at(pos);
    }
    Item item;
    if (c == '"') {
      std::string quoted;
      std::size_t p = pos + 1;
      bool closed = false;
      while (p < text.size()) {
        if (text[p] == '"') {
          if (p + 1 < text.size() && text[p + 1] == '"') {
            quoted += '"';
            p += 2;
            continue;
          }
          closed = true;
          break;
        }
        quoted += text[p++];
      }
      if (!closed) {
        return ParseError{{"the WKT text ends inside a quoted name",
                           "το κείμενο WKT τελειώνει μέσα σε όνομα σε εισαγωγικά"}};
      }
      item.text = std::move(quoted);
      pos = p + 1;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::size_t p = pos;
      while (p < text.size() && (std::isalnum(static_cast<unsigned char>(text[p])) || text[p] == '_')) ++p;
      std::string word(text.substr(pos, p - pos));
      pos = p;
      skipSpace();
      if (pos < text.size() && (text[pos] == '[' || text[pos] == '(')) {
        ++pos;
        if (stack.size() >= kMaxDepth) {
          return ParseError{{"the WKT text is nested too deeply",
                             "το κείμενο WKT έχει υπερβολικά πολλά επίπεδα αγκυλών"}};
        }
        auto node = std::make_unique<Node>();
        for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        node->keyword = std::move(word);
        stack.push_back(std::move(node));
        // An empty node, KEYWORD[]: the closing bracket comes next.
        skipSpace();
        if (pos < text.size() && (text[pos] == ']' || text[pos] == ')')) expectItem = false;
        continue;
      }
      item.kind = Item::kWord;
      item.text = std::move(word);
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') {
      std::size_t p = pos;
      while (p < text.size() && (std::isalnum(static_cast<unsigned char>(text[p])) ||
                                 text[p] == '.' || text[p] == '-' || text[p] == '+')) {
        ++p;
      }
      const auto value = ParseNumber(text.substr(pos, p - pos));
      if (!value) return at(pos);
      item.kind = Item::kNumber;
      item.number = *value;
      pos = p;
    } else {
      return at(pos);
    }
    if (stack.empty()) {
      return ParseError{{"a WKT text begins with a keyword such as PROJCRS",
                         "ένα κείμενο WKT αρχίζει με λέξη-κλειδί όπως PROJCRS"}};
    }
    stack.back()->items.push_back(std::move(item));
    expectItem = false;
  }
  if (!root) {
    return ParseError{{"the WKT text ends inside a bracket",
                       "το κείμενο WKT τελειώνει μέσα σε αγκύλη"}};
  }
  return root;
}

bool IsKey(std::string_view name, std::initializer_list<std::string_view> keys) {
  const std::string squeezed = Squeezed(name);
  return std::find(keys.begin(), keys.end(), squeezed) != keys.end();
}

// The shift to WGS 84 of a WKT1 TOWGS84[] or of a BOUNDCRS's ABRIDGEDTRANSFORMATION.
std::vector<double> ShiftOf(const Node* towgs84, const Node* transformation) {
  std::vector<double> shift;
  if (towgs84) {
    for (std::size_t i = 0; i < towgs84->items.size(); ++i) {
      shift.push_back(towgs84->NumberAt(i).value_or(NAN));
    }
  } else if (transformation) {
    shift.assign(7, 0.0);
    for (const Node* p : transformation->Children("PARAMETER")) {
      const long code = p->Epsg();
      const std::string name = Squeezed(p->Name());
      const double value = p->NumberAt(1).value_or(NAN);
      if (code == 8605 || name == "xaxistranslation") shift[0] = value;
      else if (code == 8606 || name == "yaxistranslation") shift[1] = value;
      else if (code == 8607 || name == "zaxistranslation") shift[2] = value;
      else if (code == 8608 || name == "xaxisrotation") shift[3] = value;
      else if (code == 8609 || name == "yaxisrotation") shift[4] = value;
      else if (code == 8610 || name == "zaxisrotation") shift[5] = value;
      else if (code == 8611 || name == "scaledifference") {
        // In parts per million with its unit; PROJ writes a factor (1 for none) without one.
        const double unit = p->UnitFactor().value_or(1.0);
        shift[6] = unit == 1.0 && std::fabs(value) > 0.5 ? value - 1.0 : value * unit;
      }
    }
  }
  return shift;
}

const Text kNotDegrees{"its latitude and longitude are not in degrees",
                       "το πλάτος και το μήκος του δεν είναι σε μοίρες"};
const Text kNotMetresXyz{"its X, Y, Z are not in metres", "τα X, Y, Z του δεν είναι σε μέτρα"};
const Text kNotMetresEn{"its E, N are not in metres", "τα E, N του δεν είναι σε μέτρα"};

Description DescribeWkt(const Node& root) {
  const Node* node = &root;
  const Node* transformation = nullptr;
  if (node->keyword == "BOUNDCRS") {  // a CRS with a transformation to WGS 84 beside it
    const Node* source = node->Child({"SOURCECRS"});
    transformation = node->Child({"ABRIDGEDTRANSFORMATION"});
    const Node* inner = source ? source->Child({"PROJCRS", "PROJECTEDCRS", "GEOGCRS",
                                                "GEOGRAPHICCRS", "GEODCRS", "GEODETICCRS"})
                               : nullptr;
    if (inner) node = inner;
  }
  Description d;
  d.name = node->Name();
  const std::string& keyword = node->keyword;
  bool wkt1 = false;
  if (keyword == "PROJCRS" || keyword == "PROJECTEDCRS" || keyword == "PROJCS") {
    d.kind = CrsKind::kProjected;
    wkt1 = keyword == "PROJCS";
  } else if (keyword == "GEOGCRS" || keyword == "GEOGRAPHICCRS" || keyword == "GEOGCS") {
    d.kind = CrsKind::kGeographic;
    wkt1 = keyword == "GEOGCS";
  } else if (keyword == "GEODCRS" || keyword == "GEODETICCRS") {
    const Node* cs = node->Child({"CS"});
    d.kind = cs && Squeezed(cs->WordAt(0)) == "cartesian" ? CrsKind::kGeocentric
                                                          : CrsKind::kGeographic;
  } else if (keyword == "GEOCCS") {
    d.kind = CrsKind::kGeocentric;
    wkt1 = true;
  } else if (keyword == "COMPOUNDCRS" || keyword == "COMPD_CS") {
    d.problem = Text{"it is a compound CRS (a horizontal and a vertical part)",
                     "είναι σύνθετο σύστημα (οριζόντιο και κατακόρυφο μέρος)"};
    return d;
  } else if (keyword == "VERTCRS" || keyword == "VERT_CS" || keyword == "VERTICALCRS") {
    d.problem = Text{"it is a vertical CRS", "είναι κατακόρυφο σύστημα"};
    return d;
  } else {
    d.problem = Text{"it is a CRS of the kind " + Shown(keyword) + ", not one of positions",
                     "είναι σύστημα του είδους " + Shown(keyword) + ", όχι θέσεων"};
    return d;
  }
  const Node* base = d.kind == CrsKind::kProjected
                         ? node->Child({"BASEGEOGCRS", "BASEGEODCRS", "GEOGCS"})
                         : node;
  if (!base) {
    d.problem = Text{"it is a projected CRS without its geographic CRS",
                     "είναι προβολικό σύστημα χωρίς το γεωγραφικό του σύστημα"};
    return d;
  }
  const Node* datum = base->Child({"DATUM", "GEODETICDATUM", "TRF", "ENSEMBLE"});
  if (!datum) {
    d.ellipsoid = Text{"its datum and ellipsoid are not given",
                       "δεν δίνει datum ούτε ελλειψοειδές"};
  } else {
    d.datumName = datum->Name();
    d.datum = DatumOfName(d.datumName);
    if (datum->Epsg() == 6121 || base->Epsg() == 4121) d.datum = DatumKind::kGgrs87;
    if (d.datum == DatumKind::kUnnamed) {
      const std::vector<double> shift = ShiftOf(datum->Child({"TOWGS84"}), transformation);
      d.datum = DatumOfShift(shift);
      if (d.datum == DatumKind::kOther) {
        d.datumName += std::string(d.datumName.empty() ? "" : " ") + "shifted to WGS 84 by " +
                       Number(shift[0]) + ", " + Number(shift[1]) + ", " + Number(shift[2]) + " m";
      }
    }
    const Node* ellipsoid = datum->Child({"ELLIPSOID", "SPHEROID"});
    if (!ellipsoid) {
      CheckEllipsoid(d, "", std::nullopt, std::nullopt);
    } else {
      std::optional<double> a = ellipsoid->NumberAt(1);
      const std::optional<double> unit = ellipsoid->UnitFactor();
      if (a && unit) *a *= *unit;
      CheckEllipsoid(d, ellipsoid->Name(), a, ellipsoid->NumberAt(2));
    }
  }
  if (const Node* primem = base->Child({"PRIMEM"})) {
    const std::optional<double> longitude = primem->NumberAt(1);
    if (!longitude || !Close(*longitude, 0.0, CrsTolerance::kDegrees)) {
      d.meridian = Text{"its prime meridian is " + Shown(primem->Name()) + ", not Greenwich",
                        "ο πρώτος μεσημβρινός του είναι " + Shown(primem->Name()) +
                            ", όχι του Greenwich"};
    }
  }

  // Axes and their units: degrees for latitude and longitude, metres for the rest.
  const std::vector<const Node*> axes = node->Children("AXIS");
  const std::optional<double> crsUnit = node->UnitFactor();
  std::vector<std::string> directions;
  std::vector<std::optional<double>> units;
  for (const Node* axis : axes) {
    directions.push_back(Squeezed(axis->WordAt(1)));
    const std::optional<double> unit = axis->UnitFactor();
    units.push_back(unit ? unit : crsUnit);
  }
  const auto unitsAre = [&](double factor, std::size_t count) {
    if (axes.empty()) return !crsUnit || Close(*crsUnit, factor, CrsTolerance::kUnitFactor);
    for (std::size_t i = 0; i < std::min(count, units.size()); ++i) {
      if (units[i] && !Close(*units[i], factor, CrsTolerance::kUnitFactor)) return false;
    }
    return true;
  };
  const auto northAndEast = [&] {
    if (axes.empty()) return true;
    if (directions.size() < 2) return false;
    std::array<std::string, 2> two = {directions[0], directions[1]};
    std::sort(two.begin(), two.end());
    return two[0] == "east" && two[1] == "north";
  };
  if (d.kind == CrsKind::kGeocentric) {
    if (!unitsAre(1.0, 3)) d.units = kNotMetresXyz;
    return d;
  }
  if (d.kind == CrsKind::kGeographic) {
    if ((axes.size() != 0 && axes.size() != 2 && axes.size() != 3) ||
        !unitsAre(kRadiansPerDegree, 2)) {
      d.units = kNotDegrees;
    } else if (!northAndEast()) {
      d.units = Text{"its axes are not north and east", "οι άξονές του δεν είναι βορράς και ανατολή"};
    }
    // WKT1 without axes is longitude, latitude.
    d.swapped = axes.empty() ? wkt1 : directions[0] == "east";
    return d;
  }

  // Projected: metres east and north, and a Transverse Mercator.
  if (!unitsAre(1.0, 2)) {
    d.units = kNotMetresEn;
  } else if (!northAndEast()) {
    d.units = Text{"its axes are not east and north", "οι άξονές του δεν είναι ανατολή και βορράς"};
  }
  d.swapped = !axes.empty() && directions[0] == "north";
  const Node* conversion = wkt1 ? node : node->Child({"CONVERSION", "DERIVINGCONVERSION"});
  const Node* method = conversion ? conversion->Child({"METHOD", "PROJECTION"}) : nullptr;
  if (!method) {
    d.projection = Text{"it is a projected CRS without its projection",
                        "είναι προβολικό σύστημα χωρίς την προβολή του"};
    return d;
  }
  if (method->Epsg() != 9807 && !IsKey(method->Name(), {"transversemercator", "gausskruger"})) {
    d.projection = Text{"its projection is " + Shown(method->Name()) + ", not Transverse Mercator",
                        "η προβολή του είναι " + Shown(method->Name()) +
                            ", όχι εγκάρσια μερκατορική"};
    return d;
  }
  const std::optional<double> baseUnit = base->UnitFactor();
  const double angle = baseUnit ? *baseUnit / kRadiansPerDegree : 1.0;
  const double length = wkt1 && crsUnit ? *crsUnit : 1.0;
  for (const Node* parameter : conversion->Children("PARAMETER")) {
    const long code = parameter->Epsg();
    const std::string key = Squeezed(parameter->Name());
    const std::optional<double> value = parameter->NumberAt(1);
    if (!value) continue;
    const std::optional<double> factor = parameter->UnitFactor();
    const double degrees = *value * (factor ? *factor / kRadiansPerDegree : angle);
    const double metres = *value * (factor ? *factor : length);
    if (code == 8801 || key == "latitudeofnaturalorigin" || key == "latitudeoforigin") {
      d.lat0 = degrees;
    } else if (code == 8802 || key == "longitudeofnaturalorigin" || key == "centralmeridian" ||
               key == "longitudeoforigin") {
      d.lon0 = degrees;
    } else if (code == 8805 || key == "scalefactoratnaturalorigin" || key == "scalefactor") {
      d.k0 = *value * (factor ? *factor : 1.0);
    } else if (code == 8806 || key == "falseeasting") {
      d.x0 = metres;
    } else if (code == 8807 || key == "falsenorthing") {
      d.y0 = metres;
    }
  }
  return d;
}

// ---------------------------------------------------------------------------------------------
// PROJ strings: +proj=tmerc +lat_0=0 +lon_0=24 +k=0.9996 +x_0=500000 +y_0=0 +ellps=GRS80 ...

Description DescribeProj(std::string_view text) {
  Description d;
  std::vector<std::pair<std::string, std::string>> params;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    std::size_t end = pos;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
    std::string_view token = text.substr(pos, end - pos);
    pos = end;
    if (token.empty()) continue;
    if (token.front() == '+') token.remove_prefix(1);
    const std::size_t eq = token.find('=');
    params.emplace_back(Lower(token.substr(0, eq)),
                        eq == std::string_view::npos ? "" : std::string(token.substr(eq + 1)));
  }
  const auto find = [&](std::string_view key) -> const std::string* {
    for (const auto& [k, v] : params) {
      if (k == key) return &v;
    }
    return nullptr;
  };
  std::optional<Text> badNumber;
  const auto number = [&](std::string_view key, double fallback) -> double {
    const std::string* v = find(key);
    if (!v) return fallback;
    const auto value = ParseNumber(*v);
    if (!value) {
      badNumber = Text{"its +" + std::string(key) + "=" + Shown(*v) + " is no number",
                       "το +" + std::string(key) + "=" + Shown(*v) + " του δεν είναι αριθμός"};
      return double{NAN};
    }
    return *value;
  };
  const std::string proj = find("proj") ? Lower(*find("proj")) : "";
  if (proj.empty()) {
    d.problem = Text{"the PROJ string has no +proj=", "η συμβολοσειρά PROJ δεν έχει +proj="};
    return d;
  }

  // The ellipsoid and the datum.
  const std::string* ellps = find("ellps");
  const std::string* datum = find("datum");
  if (datum) {
    d.datumName = *datum;
    d.datum = DatumOfName(*datum);
    if (!ellps) {
      // PROJ's datums of other ellipsoids than GRS80 (WGS84, NAD27, ...): named as they are.
      CheckEllipsoid(d, Lower(*datum) == "wgs84" ? "WGS 84" : *datum, std::nullopt, std::nullopt);
    }
  } else if (find("nadgrids")) {
    d.datum = DatumKind::kOther;
    d.datumName = "shifted by the grid " + Shown(*find("nadgrids"));
  } else if (const std::string* towgs84 = find("towgs84")) {
    std::vector<double> shift;
    std::string_view rest = *towgs84;
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      shift.push_back(ParseNumber(rest.substr(0, comma)).value_or(NAN));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    d.datum = DatumOfShift(shift);
    d.datumName = "shifted to WGS 84 by +towgs84=" + Shown(*towgs84);
  } else {
    d.datum = DatumKind::kUnnamed;
  }
  if (ellps) {
    if (Lower(*ellps) != "grs80") CheckEllipsoid(d, *ellps, std::nullopt, std::nullopt);
  } else if (find("a") || find("r")) {
    const double a = number(find("a") ? "a" : "r", NAN);
    double rf = NAN;
    if (find("rf")) {
      rf = number("rf", NAN);
    } else if (find("b")) {
      const double b = number("b", NAN);
      rf = a / (a - b);
    } else if (find("f")) {
      rf = 1.0 / number("f", NAN);
    }
    CheckEllipsoid(d, "", a, std::isfinite(rf) ? std::optional<double>(rf) : std::nullopt);
  } else if (!datum) {
    CheckEllipsoid(d, "", std::nullopt, std::nullopt);
  }
  if (const std::string* pm = find("pm")) {
    const auto longitude = ParseNumber(*pm);
    if (Lower(*pm) != "greenwich" && !(longitude && Close(*longitude, 0, CrsTolerance::kDegrees))) {
      d.meridian = Text{"its prime meridian is " + Shown(*pm) + ", not Greenwich",
                        "ο πρώτος μεσημβρινός του είναι " + Shown(*pm) + ", όχι του Greenwich"};
    }
  }
  const bool metres = (!find("units") || Lower(*find("units")) == "m") &&
                      Close(number("to_meter", 1.0), 1.0, CrsTolerance::kUnitFactor);
  const std::string axis = find("axis") ? Lower(*find("axis")) : "";

  if (proj == "geocent" || proj == "cart") {
    d.kind = CrsKind::kGeocentric;
    if (!metres) d.units = kNotMetresXyz;
  } else if (proj == "longlat" || proj == "latlong" || proj == "lonlat" || proj == "latlon") {
    d.kind = CrsKind::kGeographic;
    // A PROJ string gives longitude first unless its +axis says otherwise.
    d.swapped = axis.empty() || axis[0] == 'e' || axis[0] == 'w';
  } else {
    d.kind = CrsKind::kProjected;
    if (!metres) d.units = kNotMetresEn;
    d.swapped = !axis.empty() && (axis[0] == 'n' || axis[0] == 's');
    if (proj == "utm") {
      const double zone = number("zone", NAN);
      d.lon0 = 6 * zone - 183;
      d.k0 = 0.9996;
      d.x0 = 500000;
      d.y0 = find("south") ? 10000000 : 0;
    } else if (proj == "tmerc" || proj == "etmerc") {
      d.lat0 = number("lat_0", 0.0);
      d.lon0 = number("lon_0", 0.0);
      d.k0 = number(find("k_0") ? "k_0" : "k", 1.0);
      d.x0 = number("x_0", 0.0);
      d.y0 = number("y_0", 0.0);
    } else {
      d.projection = Text{"its projection is +proj=" + Shown(proj) + ", not Transverse Mercator",
                          "η προβολή του είναι +proj=" + Shown(proj) +
                              ", όχι εγκάρσια μερκατορική"};
    }
  }
  if (badNumber) d.problem = badNumber;
  return d;
}

// ---------------------------------------------------------------------------------------------
// EPSG codes: "EPSG:2100", "2100", "urn:ogc:def:crs:EPSG::2100", "urn:ogc:def:crs:EPSG:9.8.15:2100",
// "http://www.opengis.net/def/crs/EPSG/0/2100".

std::optional<long> EpsgCode(std::string_view text) {
  const std::string lower = Lower(text);
  std::string_view rest = lower;
  const auto digitsOnly = [](std::string_view s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  for (const std::string_view prefix :
       {std::string_view("http://www.opengis.net/def/crs/epsg/0/"),
        std::string_view("https://www.opengis.net/def/crs/epsg/0/"),
        std::string_view("epsg:")}) {
    if (rest.starts_with(prefix)) {
      rest.remove_prefix(prefix.size());
      if (!digitsOnly(rest)) return std::nullopt;
      return std::stol(std::string(rest));
    }
  }
  if (rest.starts_with("urn:ogc:def:crs:epsg:")) {
    rest.remove_prefix(21);
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const std::string_view version = rest.substr(0, colon);
    if (!std::all_of(version.begin(), version.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
      return std::nullopt;
    }
    rest.remove_prefix(colon + 1);
  }
  if (!digitsOnly(rest)) return std::nullopt;
  return std::stol(std::string(rest));
}

bool StartsLikeWkt(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size() && (std::isalnum(static_cast<unsigned char>(text[p])) || text[p] == '_')) ++p;
  if (p == 0 || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
  return p < text.size() && (text[p] == '[' || text[p] == '(');
}

// ---------------------------------------------------------------------------------------------
// The description against the forms.

CrsKind KindOf(Form form) {
  return form == Form::kHtrs07Xyz ? CrsKind::kGeocentric
         : IsGeographic(form)     ? CrsKind::kGeographic
                                  : CrsKind::kProjected;
}

bool SameProjection(const Description& d, const Projection& p) {
  return Close(d.lat0, 0.0, CrsTolerance::kDegrees) &&
         Close(d.lon0, p.centralMeridianDeg, CrsTolerance::kDegrees) &&
         Close(d.k0, p.scaleFactor, CrsTolerance::kScale) &&
         Close(d.x0, p.falseEasting, CrsTolerance::kMetres) &&
         Close(d.y0, p.falseNorthing, CrsTolerance::kMetres);
}

const Projection& ProjectionOf(Form form, const RegionProfile& profile) {
  return form == Form::kHtrs07Tm07 ? profile.tm07 : profile.tm87;
}

// Whether the CRS can hold the form's coordinates, whatever its datum.
bool Fits(const Description& d, Form form, const RegionProfile& profile) {
  if (d.problem || d.units || d.kind != KindOf(form)) return false;
  if (d.kind != CrsKind::kProjected) return true;
  return !d.projection && SameProjection(d, ProjectionOf(form, profile));
}

// Whether the CRS is the form: it fits, on GRS80 at Greenwich, and its datum is the form's
// (a projection with an unnamed GRS80 datum is taken at its constants' word: on the mainland
// the false northings of TM07 and TM87 differ, so the constants alone tell the two).
bool Is(const Description& d, Form form, const RegionProfile& profile) {
  if (!Fits(d, form, profile) || d.ellipsoid || d.meridian) return false;
  const DatumKind datum = InHtrs07(form) ? DatumKind::kHtrs07 : DatumKind::kGgrs87;
  return d.datum == datum || (d.kind == CrsKind::kProjected && d.datum == DatumKind::kUnnamed);
}

Text WhyNone(const Description& d) {
  if (d.problem) return *d.problem;
  if (d.ellipsoid) return *d.ellipsoid;
  if (d.meridian) return *d.meridian;
  if (d.units) return *d.units;
  if (d.projection) return *d.projection;
  const std::string datumName = d.datumName.empty() ? std::string("not named") : Shown(d.datumName);
  if (d.datum == DatumKind::kOther) {
    return {"its datum is " + datumName + ", neither HTRS07 nor GGRS87",
            "το datum του είναι " + datumName + ", ούτε HTRS07 ούτε ΕΓΣΑ87"};
  }
  if (d.kind == CrsKind::kGeocentric && d.datum == DatumKind::kGgrs87) {
    return {"it is GGRS87 X, Y, Z, which no conversion takes or gives",
            "είναι X, Y, Z του ΕΓΣΑ87, που καμία μετατροπή δεν δέχεται ούτε δίνει"};
  }
  if (d.kind != CrsKind::kProjected) {
    return {"its datum is " + datumName + ": HTRS07 and GGRS87 " +
                (d.kind == CrsKind::kGeocentric ? "X, Y, Z" : "latitudes and longitudes") +
                " are told apart only by the datum's name",
            "το datum του είναι " + datumName + ": " +
                (d.kind == CrsKind::kGeocentric ? "τα X, Y, Z" : "τα πλάτη και μήκη") +
                " του HTRS07 και του ΕΓΣΑ87 ξεχωρίζουν μόνο από το όνομα του datum"};
  }
  // A projection of ours on the other datum.
  for (const Form form : {Form::kHtrs07Tm07, Form::kGgrs87Tm87}) {
    for (std::size_t r = 0; r < Regions().size(); ++r) {
      if (SameProjection(d, ProjectionOf(form, *Regions()[r]))) {
        const std::string tm = form == Form::kHtrs07Tm07 ? "TM07" : "TM87";
        const std::string own = form == Form::kHtrs07Tm07 ? "HTRS07" : "GGRS87";
        const std::string ownEl = form == Form::kHtrs07Tm07 ? "HTRS07" : "ΕΓΣΑ87";
        const std::string region(Regions()[r]->name);
        return {"its projection is " + tm + " of " + region + ", which belongs to " + own +
                    ", but its datum is " + datumName,
                "η προβολή του είναι η " + tm + " (" + region + ") του " + ownEl +
                    ", αλλά το datum του είναι " + datumName};
      }
    }
  }
  const std::string en = "central meridian " + Number(d.lon0) + "°, scale factor " +
                         Number(d.k0) + ", false easting " + Number(d.x0) +
                         " m, false northing " + Number(d.y0) + " m" +
                         (Close(d.lat0, 0, CrsTolerance::kDegrees)
                              ? std::string()
                              : ", latitude of origin " + Number(d.lat0) + "°");
  const std::string el = "κεντρικός μεσημβρινός " + Number(d.lon0) + "°, συντελεστής κλίμακας " +
                         Number(d.k0) + ", ψευδοτετμημένη " + Number(d.x0) +
                         " m, ψευδοτεταγμένη " + Number(d.y0) + " m" +
                         (Close(d.lat0, 0, CrsTolerance::kDegrees)
                              ? std::string()
                              : ", πλάτος αρχής " + Number(d.lat0) + "°");
  return {"its Transverse Mercator (" + en + ") is neither TM07 nor TM87 of the mainland or "
          "Kastelorizo",
          "η εγκάρσια μερκατορική του (" + el + ") δεν είναι ούτε TM07 ούτε TM87 της "
          "ηπειρωτικής χώρας ή του Καστελλόριζου"};
}

CrsRecognition Match(const Description& d) {
  CrsRecognition r;
  r.name = d.name;
  r.kind = d.kind;
  r.swapped = d.swapped;
  for (const Form form : kAllForms) {
    for (unsigned region = 0; region < Regions().size(); ++region) {
      const RegionProfile& profile = *Regions()[region];
      if (Fits(d, form, profile)) r.fits |= CrsRecognition::FitBit(form, region);
      if (!Is(d, form, profile) || (r.form && *r.form != form)) continue;
      r.form = form;
      r.regions |= 1u << region;
    }
  }
  if (r.form == Form::kHtrs07Xyz) r.swapped = false;
  if (!r.form) {
    const Text why = WhyNone(d);
    r.reason = why.en;
    r.reasonGreek = why.el;
  }
  return r;
}

CrsRecognition None(Text why, std::string name = {}) {
  CrsRecognition r;
  r.name = std::move(name);
  r.reason = std::move(why.en);
  r.reasonGreek = std::move(why.el);
  return r;
}

std::string EpsgCodesOfForms() {
  std::vector<int> codes;
  for (const Form form : kAllForms) {
    for (const RegionProfile* profile : Regions()) {
      const int code = CrsOf(form, *profile).epsg;
      if (code && std::find(codes.begin(), codes.end(), code) == codes.end()) codes.push_back(code);
    }
  }
  std::sort(codes.begin(), codes.end());
  std::string list;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    list += (i == 0 ? "" : i + 1 == codes.size() ? " and " : ", ") + std::string("EPSG:") +
            std::to_string(codes[i]);
  }
  return list;
}

CrsRecognition Spelt(CrsSpelling spelling, CrsRecognition r) {
  r.spelling = spelling;
  return r;
}

CrsRecognition RecognizeWkt(std::string_view text) {
  auto parsed = ParseWkt(text);
  if (auto* error = std::get_if<ParseError>(&parsed)) return None(std::move(error->text));
  return Match(DescribeWkt(*std::get<std::unique_ptr<Node>>(parsed)));
}

}  // namespace

CrsRecognition RecognizeCrs(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  if (text.empty()) {
    return None({"the CRS is empty", "το σύστημα αναφοράς είναι κενό"});
  }
  if (text.size() > kMaxText) {
    return None({"the CRS text is longer than any CRS (over a megabyte)",
                 "το κείμενο του συστήματος αναφοράς είναι μεγαλύτερο από κάθε σύστημα (πάνω από "
                 "ένα megabyte)"});
  }
  if (const std::optional<long> code = EpsgCode(text)) {
    const std::string name = "EPSG:" + std::to_string(*code);
    // The EPSG codes of the forms are those engine/crs.h writes: the form's own WKT tells it.
    for (const Form form : kAllForms) {
      for (const RegionProfile* profile : Regions()) {
        const CrsDefinition crs = CrsOf(form, *profile);
        if (crs.epsg != *code) continue;
        CrsRecognition r = RecognizeWkt(crs.wkt);
        r.spelling = CrsSpelling::kEpsgCode;
        return r;
      }
    }
    return Spelt(CrsSpelling::kEpsgCode, None({"of the EPSG codes only " + EpsgCodesOfForms() + " are forms (HTRS07 has none)",
                 "από τους κωδικούς EPSG μόνο οι " + EpsgCodesOfForms() +
                     " είναι μορφές (το HTRS07 δεν έχει)"},
                name));
  }
  if (text.front() == '+' || text.starts_with("proj=")) {
    std::string lower = Lower(text.substr(0, 64));
    const std::size_t init = lower.find("init=epsg:");
    if (init != std::string::npos) {
      std::string_view code = text.substr(init + 5);
      code = code.substr(0, code.find_first_of(" \t\r\n"));
      return RecognizeCrs(code);
    }
    return Spelt(CrsSpelling::kProjString, Match(DescribeProj(text)));
  }
  if (StartsLikeWkt(text)) return Spelt(CrsSpelling::kWkt, RecognizeWkt(text));
  return None({"it is neither a WKT text, an EPSG code (\"EPSG:2100\") nor a PROJ string",
               "δεν είναι ούτε κείμενο WKT, ούτε κωδικός EPSG (\"EPSG:2100\"), ούτε "
               "συμβολοσειρά PROJ"});
}

CrsRecognition RecognizeCrsInRegion(std::string_view text, unsigned region) {
  CrsRecognition r = RecognizeCrs(text);
  if (!r.form || r.InRegion(region) || region >= Regions().size()) return r;
  std::string regions;
  for (unsigned i = 0; i < Regions().size(); ++i) {
    if (r.regions >> i & 1u) regions += (regions.empty() ? "" : " and ") + std::string(Regions()[i]->name);
  }
  const std::string form(FormName(*r.form));
  const std::string here(Regions()[region]->name);
  r.reason = "it is " + form + " of " + regions + ", not of " + here;
  r.reasonGreek = "είναι " + form + " της περιοχής " + regions + ", όχι της " + here;
  r.form.reset();
  r.regions = 0;
  return r;
}

}  // namespace vortan
