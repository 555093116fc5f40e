// The four batch jobs of the data-file converter: what each reads and writes. The window's
// buttons, dialogs and path boxes for them belong to the data-file window (data_files/ui/).
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "data_files/records.h"

namespace vortan {

enum class JobKind {
  kSflhToSenh,    // GGRS87 phi, lambda, h -> GGRS87 TM87 E, N, h
  kSenhToHtrs07,  // GGRS87 E, N, h -> GGRS87 SFLh, HTRS07 SFL, HTRS07 SEN
  kSflhToSxyz,    // HTRS07 phi, lambda, h -> HTRS07 X, Y, Z
  kSxyzToGgrs87,  // HTRS07 X, Y, Z -> HTRS07 SFLh, SENk, GGRS87 SFL, SEN
};

// One file of a job: its default name on the mainland and its record layout.
struct JobFile {
  std::string_view defaultName;  // "GGRS87-SFLh.txt"
  Layout layout;
};

struct JobDefinition {
  JobKind kind;
  std::string_view cliName;  // "sflh-to-senh"
  std::string_view description;
  JobFile input;
  std::vector<JobFile> outputs;  // in the order the job is given them
  bool usesTransform;            // needs the initial step's parameters (and grids)
  std::size_t outputCount() const { return outputs.size(); }
};

// The four jobs, in the order of JobKind.
const std::vector<JobDefinition>& JobDefinitions();
const JobDefinition& DefinitionOf(JobKind kind);
// The job of a command-line name; nullptr for a name that is none.
const JobDefinition* FindJob(std::string_view cliName);

}  // namespace vortan
