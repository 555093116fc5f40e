#include "cli/run.h"

#include "cli/progress.h"
#include "cli/report.h"
#include "cli/stop_signals.h"
#include "data_files/jobs.h"
#include "engine/conversion.h"
#include "gis/module.h"

namespace vortan::cli {
namespace {

// convert on GIS datasets (and between a record file and a dataset), through the GIS module,
// which runs the initial step itself once it knows the forms of the layers.
int RunDataset(const Command& command) {
  gis::DatasetRequest request;
  request.profile = command.profile;
  request.dnPath = command.dnPath;
  request.dePath = command.dePath;
  request.input = command.files[0];
  request.output = command.files[1];
  request.from = command.from;
  request.to = *command.to;
  request.keepHeights = command.keepHeights;
  request.format = command.format;
  request.columns = command.columns;
  request.outside = command.outside.value_or(gis::OutsidePolicy::kStop);
  request.overwrite = command.overwrite;
  request.threads = command.threads;
  request.cancel = &interrupted;
  request.gridFiles = command.gridFiles();
  request.recordsIn = command.recordsIn;
  request.recordsOut = command.recordsOut;
  ProgressLine progress(command.quiet);
  if (progress.shown()) request.progress = [&](const gis::DatasetProgress& p) { progress.Show(p); };
  std::string error;
  const gis::ModuleInterface* module = gis::LoadModule(error);
  if (!module) return Error(error);
  gis::DatasetOutcome outcome = module->convert(request);
  // A stop signal makes the reads and writes under way fail: the stop, not an error.
  if (outcome.status == gis::DatasetStatus::kError && interrupted.load()) {
    outcome.status = gis::DatasetStatus::kCancelled;
  }
  progress.Clear();
  return ReportDataset(outcome, request, command.quiet, progress.shown());
}

// A job, or convert between record files.
int RunRecords(const Command& command) {
  TransformContext context = MakeContext(*command.profile, kDataFileBounds);
  const bool acrossDatum = command.convert() ? InHtrs07(*command.from) != InHtrs07(*command.to)
                                             : command.job->usesTransform;
  if (acrossDatum) {
    const std::string error = InitialStep(context, command.dnPath, command.dePath, nullptr,
                                            command.threads);
    if (!error.empty()) return Error(gis::GridFilesError(error, command.dnPath, command.dePath));
  }
  JobOptions options;
  options.threads = command.threads;
  options.cancel = &interrupted;
  options.gridFiles = command.gridFiles();
  ProgressLine progress(command.quiet);
  if (progress.shown()) options.progress = [&](const JobProgress& p) { progress.Show(p); };
  const std::string& input = command.files[0];
  const std::vector<std::string> outputs(command.files.begin() + 1, command.files.end());
  JobOutcome outcome;
  if (command.convert()) {
    const Conversion conversion(context, *command.from, *command.to, command.keepHeights);
    outcome = RunConversion(conversion, input, outputs[0], options);
  } else {
    outcome = RunJob(command.job->kind, context, input, outputs, options);
  }
  progress.Clear();
  return ReportJob(outcome, outputs[0] == "-", progress.shown());
}

}  // namespace

int RunCommand(const Command& command) {
  return command.dataset() ? RunDataset(command) : RunRecords(command);
}

}  // namespace vortan::cli
