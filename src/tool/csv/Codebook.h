#pragma once
// The csv tables' columns, each in one place with its type, unit and
// meaning: the header rows, the Data Package descriptor written beside the
// tables (datapackage.json, the Frictionless Data standard) and the
// codebook of docs/analysis.md all come from here.

#include <string>
#include <vector>

namespace qbx::tool::logs {

struct CsvColumn {
    const char* name;
    const char* type;  // a Table Schema type: "string", "integer", "number", "date"
    const char* unit;  // "" when the column has none
    const char* meaning;
};

// Each table's columns, in the order its rows give them.
const std::vector<CsvColumn>& eventsCodebook();
const std::vector<CsvColumn>& handsCodebook();

// A table written beside the descriptor.
struct PackageTable {
    std::string name;  // "events", "hands"
    std::string path;  // its file name, relative to the descriptor
    const std::vector<CsvColumn>* columns = nullptr;
};

// A session read, as the descriptor lists it.
struct PackageSession {
    std::string session;
    std::string setupHash;       // "" without a run record
    std::string programVersion;  // the program's, as its record says
};

// The descriptor's text: the tables with their schemas, the sessions read,
// their setups' hashes, and the tool that wrote them.
std::string dataPackageJson(const std::vector<PackageTable>& tables, const std::vector<PackageSession>& sessions);

// The codebook for people: a Markdown table of a table's columns.
std::string codebookMarkdown(const std::vector<CsvColumn>& columns);

}  // namespace qbx::tool::logs
