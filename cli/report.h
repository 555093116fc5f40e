// How the tool says what happened, on standard error, and the exit status it ends with.
#pragma once

#include <string>

#include "data_files/jobs.h"
#include "gis/dataset.h"

namespace vortan::cli {

// Wrong usage: the message and the hint to --help; exit status 2.
int Usage(const std::string& message);

// An error before any job ran (a grid file, the GIS module): exit status 1.
int Error(const std::string& message);

// How a record job ended, and what it noticed; its exit status. The done line goes to standard
// error unless the output is standard output and no progress was shown.
int ReportJob(const JobOutcome& outcome, bool toStandardOutput, bool progressShown);

// How a dataset conversion ended, with its notes; its exit status. The done line (features,
// layers, points, the features left out) unless quiet with nothing left out.
int ReportDataset(const gis::DatasetOutcome& outcome, const gis::DatasetRequest& request,
                  bool quiet, bool progressShown);

}  // namespace vortan::cli
