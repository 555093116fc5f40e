// The conversion of a CSV table from a spreadsheet (a header row, the coordinates in columns)
// without GDAL, for builds that have no GDAL (the browser page): what ConvertDataset does with
// such a table through GDAL's CSV driver, to the byte and to the message. The table is read as
// GDAL reads it (the separator from the header line, quotes anywhere in a field, a quoted field
// over several lines, empty lines left out, every cell as the text it is), its coordinates
// found and parsed as csv_table.h says, converted by the engine's batch call chunk by chunk,
// and written as the tool writes it (the same columns, the coordinates renamed where the kind
// of form changes, apart from every column of the input, the input's separator, decimal mark
// and byte-order mark, the cells quoted where they hold a separator, a quote or a line break,
// cells a spreadsheet would run as formulas guarded, CR LF line ends). The output appears
// only whole. A table with a WKT column (geometries) is refused: GDAL converts it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "gis/dataset.h"
#include "transform/datum.h"

namespace vortan::gis {

// Whether a path names a CSV table (".csv", in any case).
bool IsCsvTablePath(const std::string& path);

// The names of a CSV table's columns as its conversion reads them from its header line (a
// column without a name is field_N); nothing when the file cannot be read or is empty. The
// choices of request.columns are among them.
std::optional<std::vector<std::string>> CsvColumnNames(const std::string& path);

// Converts the CSV table request.input into request.output; request.from must be given (a CSV
// holds no CRS). The context must be ready for the conversion (the browser's engine runs its
// initial step when it is made).
DatasetOutcome ConvertCsvTable(const TransformContext& context, const DatasetRequest& request);

}  // namespace vortan::gis
