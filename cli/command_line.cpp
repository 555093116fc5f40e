#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#include "cli/exit_status.h"
#include "cli/report.h"
#include "gis/module.h"
#include "io/display_text.h"
#include "transform/correction_grid.h"
#include "transform/regions.h"
#include "vortan/version.h"

namespace vortan::cli {
namespace {

// A value the command line refuses, in the words the user reads.
struct Refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The groups of options, in the order of the usage text: the heading before each group's
// options, the column at which their descriptions begin, and what follows them.
struct Group {
  const char* name;
  const char* heading;
  std::size_t column;
  const char* after;
};
constexpr const char* kConvertGroup = "convert";
constexpr const char* kGisGroup = "GIS datasets";
constexpr const char* kToolGroup = "Options";
constexpr Group kGroups[] = {
    {kConvertGroup, "", 22, ""},
    {kGisGroup,
     "GIS datasets: an INPUT or OUTPUT named .gpkg, .shp, .geojson, .json, .fgb, .gml,\n"
     ".kml, .dxf or .csv (or of another name that GDAL opens, or with --format) is a\n"
     "vector dataset; any other file is a record file, and so is a .csv without a\n"
     "header whose lines are records. Every layer, feature, attribute and vertex is\n"
     "carried over; the input form comes from each layer's CRS (EPSG:2100, EPSG:4121,\n"
     "the HTRS07 CRSs this program writes), else from --from. A record file becomes\n"
     "point features with the attribute id, and back. The output appears only whole.\n",
     22, ""},
    {kToolGroup, "Options:\n", 17,
     "  --             ends the options (for a file name that begins with -)\n"
     "A file name of - is standard input or standard output.\n"},
};

// A record of each form, for the usage text.
struct FormExample {
  Form form;
  const char* what;
  const char* line;
};
constexpr FormExample kFormExamples[] = {
    {Form::kHtrs07Xyz, "HTRS07 X,Y,Z (SXYZ)", "P1,4382064.771,2023782.319,4155326.131"},
    {Form::kHtrs07Geographic, "HTRS07 phi,lambda (DDMMSS.SSSSS),h (SFLh)",
     "P1,405453.90607,244720.59229,51.610"},
    {Form::kHtrs07Tm07, "HTRS07 TM07 E,N,h (SENh)", "P1,566446.108,2529618.096,51.610"},
    {Form::kGgrs87Geographic, "GGRS87 phi,lambda (DDMMSS.SSSSS),h (SFLh)",
     "P1,405444.68271,244714.08889,6.501"},
    {Form::kGgrs87Tm87, "GGRS87 TM87 E,N,h (SENh)", "P1,566296.541,4529332.314,6.501"},
};

constexpr const char* kSynopsis =
    "Usage: vortan-transform [OPTIONS] JOB INPUT OUTPUT...\n"
    "       vortan-transform [OPTIONS] convert --from FORM --to FORM [--keep-heights]\n"
    "                        INPUT OUTPUT\n"
    "       vortan-transform [OPTIONS] convert [--from FORM] --to FORM [GIS OPTIONS]\n"
    "                        DATASET OUTPUT\n";

constexpr const char* kDescription =
    "Converts coordinate files between HTRS07 and GGRS87 (EGSA87) with the official\n"
    "seven-parameter model and, on the mainland, the dE, dN correction grids. A job\n"
    "writes the files of the VORTAN data-file program, byte for byte the same.";

constexpr const char* kConvertDescription =
    "between any two of the five coordinate forms (a record file of the\n"
    "form's layout in and out). Across the datum the height written is the target\n"
    "system's ellipsoidal height from the Helmert step; --keep-heights copies the\n"
    "input height unchanged (orthometric heights). Forms, with a record of each:";

constexpr const char* kFooter =
    "Examples:\n"
    "  vortan-transform sxyz-to-ggrs87 HTRS07-SXYZ.txt HTRS07-SFLh.txt \\\n"
    "      HTRS07-SENk.txt GGRS87-SFL.txt GGRS87-SEN.txt\n"
    "  vortan-transform convert --from htrs07-tm07 --to ggrs87-tm87 \\\n"
    "      HTRS07-SENh.txt GGRS87-SENh.txt\n"
    "  vortan-transform convert --from htrs07-tm07 --to ggrs87-tm87 parcels.shp \\\n"
    "      parcels-egsa87.shp\n"
    "\n"
    "Exit status: 0 done; 1 error (the message names file, line and field, or layer\n"
    "and feature); 2 wrong usage; 3 stopped at a point outside the correction grid\n"
    "(for a dataset: layer, FID and vertex);\n"
    "130, 143, 129 stopped by Ctrl+C, SIGTERM, SIGHUP (record files hold complete lines,\n"
    "the same number in every output; a dataset is not written).\n";

// One entry of the usage text: "  left   description", the description's lines beginning at
// the column (or after a blank where left reaches it).
std::string Entry(const std::string& left, const std::string& description, std::size_t column) {
  std::string text = "  " + left;
  text += std::string(text.size() + 1 < column ? column - text.size() : 1, ' ');
  for (char c : description) {
    text += c;
    if (c == '\n') text += std::string(column, ' ');
  }
  return text + "\n";
}

// An option as the usage text names it: "-q, --quiet", "--threads N".
std::string OptionName(const CLI::Option& option) {
  std::string name;
  for (const std::string& s : option.get_snames()) name += "-" + s + ", ";
  for (const std::string& l : option.get_lnames()) name += "--" + l + ", ";
  name.resize(name.size() - 2);
  if (!option.get_type_name().empty()) name += " " + option.get_type_name();
  return name;
}

// The options of a group.
std::vector<const CLI::Option*> OptionsOf(const CLI::App& app, const char* group) {
  return app.get_options(
      [group](const CLI::Option* o) { return o->get_group() == group && !o->get_lnames().empty(); });
}

// The usage text, from the declaration.
std::string UsageText(const CLI::App& app) {
  std::string text = std::string(kSynopsis) + "\n" + app.get_description() + "\n\n" +
                     "Jobs (outputs in this order):\n";
  const CLI::App* convert = nullptr;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    const JobDefinition* job = FindJob(sub->get_name());
    if (!job) {
      convert = sub;
      continue;
    }
    std::string files;
    for (const JobFile& file : job->outputs) files += " " + std::string(file.defaultName);
    text += Entry(sub->get_name(), sub->get_description() + "\n  INPUT " +
                                       std::string(job->input.defaultName) + ", OUTPUT:" + files,
                  18);
  }
  if (convert) {
    text += "\n" + convert->get_name() + ": " + convert->get_description() + "\n";
    for (const FormExample& f : kFormExamples) {
      text += Entry(std::string(FormName(f.form)), std::string(f.what) + "\n  " + f.line, 21);
    }
  }
  for (const Group& group : kGroups) {
    const std::vector<const CLI::Option*> options = OptionsOf(app, group.name);
    if (*group.heading) text += "\n" + std::string(group.heading);
    for (const CLI::Option* o : options) text += Entry(OptionName(*o), o->get_description(), group.column);
    text += group.after;
  }
  return text + "\n" + app.get_footer();
}

// The names of a group's options as a message lists them: "--from, --to and --keep-heights".
std::string ListOf(const CLI::App& app, const char* group) {
  const std::vector<const CLI::Option*> options = OptionsOf(app, group);
  std::string list;
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (i) list += i + 1 == options.size() ? " and " : ", ";
    list += options[i]->get_name();
  }
  return list;
}

int Threads(const std::string& n) {
  char* end = nullptr;
  const long parsed = std::strtol(n.c_str(), &end, 10);
  if (end == n.c_str() || *end != '\0' || parsed < 1 || parsed > 256) {
    throw Refused("--threads needs a whole number from 1 to 256, not '" + DisplayText(n) + "'");
  }
  return static_cast<int>(parsed);
}

Form FormOf(const std::string& name) {
  const std::optional<Form> form = FormOfName(name);
  if (!form) throw Refused("unknown form '" + DisplayText(name) + "' (" + FormNameList() + ")");
  return *form;
}

std::vector<std::string> Columns(const std::string& list) {
  std::vector<std::string> columns;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    columns.push_back(list.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (const std::string& c : columns) {
    if (c.empty() || columns.size() < 2 || columns.size() > 3) {
      throw Refused("--columns needs two or three column names separated by commas, not '" +
                    DisplayText(list) + "'");
    }
  }
  return columns;
}

// The declaration: the tool's options, convert's and the datasets', and the subcommands.
class Declaration {
 public:
  explicit Declaration(Command& command) : command_(command) {
    app_.description(kDescription);
    app_.footer(kFooter);
    app_.formatter_fn([](const CLI::App* app, std::string, CLI::AppFormatMode) {
      return UsageText(*app);
    });
    // Options may stand anywhere, and the last of one given twice counts.
    app_.set_help_flag();
    app_.allow_extras();
    app_.require_subcommand(0, 1);
    app_.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    Value(kToolGroup, "--region", "R", RegionNameList(),
          "mainland (default) or kastelorizo", [this](const std::string& region) {
            command_.profile = FindRegion(region);
            if (!command_.profile) {
              throw Refused("unknown region '" + DisplayText(region) + "' (" + RegionNameList() +
                            ")");
            }
          });
    Value(kToolGroup, "--dn", "FILE", "a file",
          "dN correction grid (default ./dN_2km_V1-0.grd; mainland only,\n"
          "read only where a conversion crosses the datum)",
          [this](const std::string& path) { command_.dnPath = path; });
    Value(kToolGroup, "--de", "FILE", "a file",
          "dE correction grid (default ./dE_2km_V1-0.grd; as --dn)",
          [this](const std::string& path) { command_.dePath = path; });
    Value(kToolGroup, "--threads", "N", "a number",
          "points computed on N threads, 1 to 256 (default: every core);\n"
          "the files are the same as with one thread",
          [this](const std::string& n) { command_.threads = Threads(n); });
    Flag(kToolGroup, "-q,--quiet", "no progress on the terminal", command_.quiet);
    Flag(kToolGroup, "-h,--help", "this text", help_);
    Flag(kToolGroup, "--version", "the program's version", version_);

    Value(kConvertGroup, "--from", "FORM", "a form",
          "the form of the input (a dataset: else from each layer's CRS)",
          [this](const std::string& name) { command_.from = FormOf(name); });
    Value(kConvertGroup, "--to", "FORM", "a form", "the form of the output",
          [this](const std::string& name) { command_.to = FormOf(name); });
    Flag(kConvertGroup, "--keep-heights", "the input height written unchanged",
         command_.keepHeights);

    Value(kGisGroup, "--format", "DRIVER",
          "a GDAL driver name (GPKG, \"ESRI Shapefile\", GeoJSON, ...)",
          "GDAL driver of the output (GPKG, \"ESRI Shapefile\", ...),\n"
          "or records: a record file (a .csv input too)",
          [this](const std::string& driver) {
            if (driver.empty()) {
              throw Refused("--format needs " + needs_.at("--format"));
            }
            command_.format = driver;
          });
    Value(kGisGroup, "--columns", "X,Y[,Z]",
          "the names of the coordinate columns, X,Y or X,Y,Z",
          "the coordinate columns of a CSV table (else found by name:\n"
          "E/N/H, X/Y/Z, Easting/Northing, lon/lat, Χ/Υ/Η, ...)",
          [this](const std::string& list) { command_.columns = Columns(list); });
    Value(kGisGroup, "--outside", "stop|skip", "stop or skip",
          "at a vertex outside the grid: stop and write nothing\n"
          "(default), or leave out its feature and name its FID",
          [this](const std::string& policy) {
            if (policy == "stop") command_.outside = gis::OutsidePolicy::kStop;
            else if (policy == "skip") command_.outside = gis::OutsidePolicy::kSkip;
            else throw Refused("--outside needs stop or skip, not '" + DisplayText(policy) + "'");
          });
    Flag(kGisGroup, "--overwrite", "replace an existing output", command_.overwrite);

    for (const JobDefinition& job : JobDefinitions()) {
      Files(*app_.add_subcommand(std::string(job.cliName), std::string(job.description)));
    }
    Files(*app_.add_subcommand("convert", kConvertDescription));
  }

  // Parses the arguments and checks what goes together.
  std::optional<int> Parse(int argc, char** argv) {
    try {
      app_.parse(argc, argv);
    } catch (const Refused& refused) {
      return Usage(refused.what());
    } catch (const CLI::ArgumentMismatch& mismatch) {
      return Usage(Missing(mismatch.what()));
    } catch (const CLI::ParseError& error) {
      return Usage(error.what());
    }
    if (help_) {
      // The tool's usage, also where a job was named (CLI11's help() would show the job's).
      std::fputs(app_.get_formatter()->make_help(&app_, "", CLI::AppFormatMode::Normal).c_str(),
                 stdout);
      return kExitDone;
    }
    if (version_) {
      std::printf("vortan-transform %s\n", kVersion);
      return kExitDone;
    }
    return Check();
  }

 private:
  // An option with a value, which set receives (and may refuse); needs says what a missing
  // value should have been.
  void Value(const char* group, const std::string& name, const char* placeholder,
             const std::string& needs, const char* description,
             std::function<void(const std::string&)> set) {
    needs_[name] = needs;
    app_.add_option_function<std::string>(name, std::move(set), description)
        ->type_name(placeholder)
        ->group(group);
  }
  void Flag(const char* group, const std::string& names, const char* description, bool& value) {
    app_.add_flag(names, value, description)->group(group);
  }
  // A subcommand's files; the options are the tool's, given before or after its name.
  void Files(CLI::App& subcommand) {
    subcommand.fallthrough();
    subcommand.allow_extras();
    subcommand.add_option("files", command_.files);
  }

  // What a message says of an option given without its value.
  std::string Missing(const std::string& what) const {
    for (const auto& [name, needs] : needs_) {
      if (what.rfind(name + ":", 0) == 0) return name + " needs " + needs;
    }
    return what;
  }

  // Whether an option of the group was given (--format records, which a record file takes, is
  // no dataset's).
  bool Given(const char* group) const {
    for (const CLI::Option* o : OptionsOf(app_, group)) {
      if (o->count() > 0 && !(o->get_name() == "--format" && command_.format == "records")) {
        return true;
      }
    }
    return false;
  }

  std::optional<int> Check() {
    std::vector<std::string> rest;
    for (const std::string& arg : app_.remaining(true)) {
      if (arg != "--") rest.push_back(arg);
    }
    for (const std::string& arg : rest) {
      if (arg.size() > 1 && arg[0] == '-') return Usage("unknown option '" + DisplayText(arg) + "'");
    }
    // The job given (also after --, which CLI11 does not count among the parsed ones).
    const std::vector<CLI::App*> chosen =
        app_.get_subcommands([](const CLI::App* sub) { return sub->count() > 0; });
    // A word that is no job stands before the job, if any.
    if (chosen.empty() || !rest.empty()) {
      if (rest.empty()) return Usage("no job given");
      return Usage("unknown job '" + DisplayText(rest.front()) + "'");
    }
    const std::string name = chosen.front()->get_name();
    command_.job = FindJob(name);
    if (!command_.convert() && Given(kConvertGroup)) {
      return Usage(ListOf(app_, kConvertGroup) + " go with convert, not with a job");
    }
    const bool sized = command_.convert() && command_.files.size() == 2;
    command_.recordsIn = sized && gis::InputIsRecords(command_.files[0], command_.format);
    command_.recordsOut = sized && gis::OutputIsRecords(command_.files[1], command_.format);
    // Standard output takes a record file only: a driver named for it is refused, not passed over.
    if (sized && command_.files[1] == "-" && !command_.format.empty() &&
        command_.format != "records") {
      return Usage("--format " + DisplayText(command_.format) +
                   " writes a GIS dataset, which is not written to standard output (-): name an "
                   "output file, or leave out --format to write a record file to standard output");
    }
    if (!command_.dataset() && Given(kGisGroup)) {
      return Usage(ListOf(app_, kGisGroup) +
                   " go with convert on GIS datasets (an INPUT or OUTPUT that is not a record "
                   "file)");
    }
    if (command_.convert() && !command_.to) return Usage("convert needs --to FORM");
    if (command_.convert() && !command_.dataset() && !command_.from) {
      return Usage("convert needs --from FORM and --to FORM (a record file has no CRS)");
    }
    const std::size_t outputs = command_.convert() ? 1 : command_.job->outputCount();
    if (command_.files.size() != 1 + outputs) {
      return Usage(name + " takes an input file and " + std::to_string(outputs) +
                   " output file" + (outputs == 1 ? "" : "s"));
    }
    // A region without grids reads no grid file: --dn and --de would be ignored in silence.
    if (!command_.profile->hasGrids) {
      std::string given;
      for (const char* option : {"--dn", "--de"}) {
        if (app_.get_option(option)->count() > 0) given += given.empty() ? option : " and --de";
      }
      if (!given.empty()) {
        std::fprintf(stderr,
                     "vortan-transform: note: %s %s ignored: the region %s uses no correction "
                     "grids, and no grid file is read.\n",
                     given.c_str(), given.size() > 4 ? "are" : "is",
                     std::string(command_.profile->name).c_str());
      }
    }
    return std::nullopt;
  }

  Command& command_;
  CLI::App app_{"", "vortan-transform"};
  std::map<std::string, std::string> needs_;
  bool help_ = false, version_ = false;
};

}  // namespace

std::vector<std::string> Command::gridFiles() const {
  return {dnPath, dePath};
}

std::optional<int> ParseCommandLine(int argc, char** argv, Command& command) {
  command.profile = &kMainlandProfile;
  command.dnPath = kDnGridFileName;
  command.dePath = kDeGridFileName;
  command.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  Declaration declaration(command);
  return declaration.Parse(argc, argv);
}

}  // namespace vortan::cli
