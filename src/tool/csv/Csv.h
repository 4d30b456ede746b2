#pragma once
// csv: the logs as two tidy tables. events.csv has one row per record of
// both logs of every session, hands.csv one row per hand. RFC 4180 quoting,
// UTF-8, a header row. Sessions are read on up to two workers, at most eight
// sessions ahead of the one being written, so memory does not grow with
// their number.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "tool/csv/Codebook.h"
#include "tool/csv/CsvRow.h"
#include "tool/logs/LogFolder.h"
#include "tool/logs/Session.h"
#include "tool/setup/GameSetup.h"

namespace qbx::tool::logs {

struct CsvOptions {
    std::string eventsPath;  // "-" for standard output
    std::string handsPath;   // empty: no hands table
    // The setup of each pair, in the folder's order (setupsOfSessions); a
    // null, or none at all, for a session read without one.
    std::vector<const GameSetup*> setups;
    // The Data Package descriptor written beside the tables ("" for none),
    // and the tables it describes.
    std::string codebookPath;
    std::vector<PackageTable> codebookTables;
    // The readers of those tables for pandas and R, beside the descriptor
    // ("" for none).
    std::string pandasReaderPath = {}, rReaderPath = {};
    // A participant code a spreadsheet would run as a formula is written
    // with a ' before it (readAsFormula).
    bool spreadsheetSafe = false;
};

struct CsvCounts {
    int sessions = 0;
    long long events = 0;
    long long hands = 0;
    int linesLeftOut = 0;  // lines that are no records, named on `messages`
    int unpaired = 0;
    int sessionsWithFaults = 0;  // other faults, which verify names
    // Cells of the participant column, in both tables, that begin as a
    // formula does (readAsFormula): prefixed with --spreadsheet-safe.
    long long formulaCells = 0;
    bool problems() const { return linesLeftOut > 0 || unpaired > 0; }
};

// A cell a spreadsheet would run as a formula (or turn into one): it begins
// with =, +, -, @, a tab or a carriage return.
bool readAsFormula(std::string_view cell);

// Each table's columns, in the order its rows give them.
const std::vector<std::string>& eventColumns();
const std::vector<std::string>& handColumns();

// One row of events.csv for a record, and one of hands.csv for a hand, each
// after `leading`: the session, date and participant fields made by
// csv::leadingFields (events.csv rows written before the code is known
// have none yet, and get them later); a hand's row ends with `trailing`.
void appendEventRow(csv::RowBytes& rows, std::string_view leading, const RecordPlace& place, const LogRecord& r);
void appendHandRow(csv::RowBytes& rows, std::string_view leading, const Hand& h, std::string_view trailing = ",,,,,");
// The fields at the end of each hand row of a session, from its run record
// (its setup, the program's version, the session it continues, whether it
// was simulated), each
// followed by its comma; empty fields without a record.
std::string sessionTrailingFields(const RunRecord* record);

// Writes the tables, and the descriptor and the readers after them; they appear whole when
// this returns, and not at all when it throws (CouldNotRun).
CsvCounts writeCsv(const LogFolder& logs, const CsvOptions& options, std::ostream& messages);

}  // namespace qbx::tool::logs
