#include "data_files/job_table.h"

#include <stdexcept>

namespace vortan {

const std::vector<JobDefinition>& JobDefinitions() {
  static const std::vector<JobDefinition> definitions = {
      {JobKind::kSflhToSenh, "sflh-to-senh",
       "GGRS87 phi,lambda,h (SFLh) to GGRS87 TM87 E,N,h (SENh)",
       {"GGRS87-SFLh.txt", Layout::kSFLh},
       {{"GGRS87-SENh.txt", Layout::kSENh}},
       false},
      {JobKind::kSenhToHtrs07, "senh-to-htrs07",
       "GGRS87 TM87 E,N,h (SENh) to GGRS87 SFLh, HTRS07 SFL and HTRS07 TM07 SEN",
       {"GGRS87-SENh.txt", Layout::kSENh},
       {{"GGRS87-SFLh.txt", Layout::kSFLh},
        {"HTRS07-SFL.txt", Layout::kSFL},
        {"HTRS07-SEN.txt", Layout::kSEN}},
       true},
      {JobKind::kSflhToSxyz, "sflh-to-sxyz",
       "HTRS07 phi,lambda,h (SFLh) to HTRS07 X,Y,Z (SXYZ)",
       {"HTRS07-SFLh.txt", Layout::kSFLh},
       {{"HTRS07-SXYZ.txt", Layout::kSXYZ}},
       false},
      {JobKind::kSxyzToGgrs87, "sxyz-to-ggrs87",
       "HTRS07 X,Y,Z (SXYZ) to HTRS07 SFLh, HTRS07 SENk, GGRS87 SFL and GGRS87 SEN",
       {"HTRS07-SXYZ.txt", Layout::kSXYZ},
       {{"HTRS07-SFLh.txt", Layout::kSFLh},
        {"HTRS07-SENk.txt", Layout::kSENk},
        {"GGRS87-SFL.txt", Layout::kSFL},
        {"GGRS87-SEN.txt", Layout::kSEN}},
       true},
  };
  return definitions;
}

const JobDefinition& DefinitionOf(JobKind kind) {
  for (const JobDefinition& job : JobDefinitions()) {
    if (job.kind == kind) return job;
  }
  throw std::logic_error("DefinitionOf: a job kind without a definition");
}

const JobDefinition* FindJob(std::string_view cliName) {
  for (const JobDefinition& job : JobDefinitions()) {
    if (job.cliName == cliName) return &job;
  }
  return nullptr;
}

}  // namespace vortan
