// The one table of test CRSs (tests/data/crs/cases.tsv) as the C++ tests read it: what each
// case is, the form it is or none, the regions, the order of its axes, a part of the reason.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace vortan::testing {

struct CrsCase {
  std::string what;
  std::string form;     // a form's name, or "none"
  std::string regions;  // "mainland", "kastelorizo", "mainland,kastelorizo", or "-"
  bool swapped = false;
  std::string reason;   // a part of the English reason, "-" for a form
  std::string text;
};

inline std::vector<CrsCase> ReadCrsCases(const std::string& path) {
  std::vector<CrsCase> cases;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (int i = 0; i < 5; ++i) {
      const std::size_t tab = line.find('\t', start);
      if (tab == std::string::npos) break;
      fields.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    if (fields.size() != 5) continue;  // the tests count the cases they expect
    cases.push_back({fields[0], fields[1], fields[2], fields[3] == "1", fields[4],
                     line.substr(start)});
  }
  return cases;
}

}  // namespace vortan::testing
