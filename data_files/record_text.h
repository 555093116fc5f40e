// Convert on record texts in memory: the same frame as RunConversion on files (reader, engine,
// writer, the same stops and messages), with a text as the input and the output text returned.
// For front ends that hold the records themselves (the Python module, a cluster's partitions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data_files/jobs.h"
#include "engine/conversion.h"

namespace vortan {

struct RecordTextResult {
  JobOutcome outcome;  // as RunConversion returns it; file and outputs name the texts
  std::string text;    // the lines written, complete lines up to a stop
};

// Converts the records of text (the layout of the conversion's input form) into the lines
// that RunConversion writes for them, byte for byte. A message names the input as inputName
// and the output as outputName.
RecordTextResult ConvertRecordText(const Conversion& conversion, std::string_view text,
                                   const JobOptions& options = {},
                                   const std::string& inputName = "the input text",
                                   const std::string& outputName = "the output text");

// The lines of a text written by the record writer, each with its line end: a line ends at a
// CR LF outside quotes (a quoted id may hold line breaks).
std::vector<std::string_view> SplitWrittenLines(std::string_view text);

}  // namespace vortan
