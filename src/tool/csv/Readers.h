#pragma once
// The readers csv writes beside its tables: read_tables.py (pandas) and
// read_tables.R (base R). Read with no options, pandas and R guess each
// column's type from its cells, so a participant code of digits (0042)
// becomes a number (42) and a version 1.0 becomes 1; these readers give
// every column the type its codebook names instead.

#include <string>
#include <vector>

#include "tool/csv/Codebook.h"

namespace qbx::tool::logs {

inline constexpr const char* kPandasReaderName = "read_tables.py";
inline constexpr const char* kRReaderName = "read_tables.R";

// Each reader loads the tables given (by their file names, relative to the
// reader's folder) into data frames named as the tables are.
std::string pandasReader(const std::vector<PackageTable>& tables);
std::string rReader(const std::vector<PackageTable>& tables);

}  // namespace qbx::tool::logs
