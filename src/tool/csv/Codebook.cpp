#include "tool/csv/Codebook.h"

#include <set>

#include "core/json/Json.h"

#include "tool/Tool.h"

namespace qbx::tool::logs {

namespace {

// The three columns every row of both tables starts with.
const CsvColumn kSession = {"session", "string", "", "date and number of the log pair, `ddmmyy_n`"};
const CsvColumn kDate = {"date", "date", "", "the date of the session, `yyyy-mm-dd`"};
const CsvColumn kParticipant = {"participant", "string", "",
                                "the participant code, as typed, without the three blanks the program writes after it; "
                                "with `--spreadsheet-safe`, a code beginning with `=`, `+`, `-`, `@`, a tab or a "
                                "carriage return has a `'` before it"};

}  // namespace

const std::vector<CsvColumn>& eventsCodebook() {
    static const std::vector<CsvColumn> columns = {
        kSession,
        kDate,
        kParticipant,
        {"log", "string", "", "`ck` or `nk`: whose log the record is in"},
        {"line", "integer", "", "line number in that log, from 1"},
        {"stamp_ms", "integer", "ms",
         "the record's (first) time stamp as written, in ms since midnight: seconds × 1000 + milliseconds (a delayed "
         "stamp's milliseconds may pass 999 and are not carried); empty for `TotalMove`"},
        {"since_start_ms", "integer", "ms", "ms since the session's first record, across midnight"},
        {"hand", "integer", "", "hand number from 1; empty for the header, the game start and the game end"},
        {"record", "string", "",
         "kind: `role_header`, `game_begins`, `participant_header`, `fixed_header`, `game_started`, `card_dealt`, "
         "`pick_up`, `look`, `own_move`, `remote_move`, `own_pass`, `remote_pass`, `hand_end`, `hand_end_close`, "
         "`shoe_exhausted`, `game_done`, `total_moves`"},
        {"code", "string", "",
         "the record's code as written: `TF`, `GS`, `GC`, `pR`, `pL`, `PM`, `RM`, `PP`, `RP`, `GE`, `GP`, `GM`; empty "
         "for the others"},
        {"actor", "string", "",
         "`ck` or `nk`: the role that acted (moves, passes, pick-ups, looks) or whose log it is (`TF`). A pick-up is "
         "written into the log of the role in turn as the card is lifted; under `ViewCard=MIX` lifting a card can "
         "hand the turn to the other role, whose pick-up it then is, in the first role's log: the action that "
         "follows the pick-up in its log tells whose it was"},
        {"card_a", "string", "", "the dealt card; the picked-up card; a move's other card (`3H`)"},
        {"position_a", "string", "",
         "the dealt card's place; the picked-up card's place; the place of a move's other card before the move "
         "(`upCardView`)"},
        {"card_b", "string", "", "a move's hand card"},
        {"position_b", "string", "", "the mover's hand place"},
        {"moves", "integer", "", "hand end: this role's moves and passes in the hand"},
        {"score", "number", "points", "hand end: this role's score, as written"},
        {"total_moves", "integer", "", "`TotalMove`: the log's moves and passes of the whole session"},
        {"text", "string", "",
         "the record's text (`Card dealt`, `Hand Ended`, …; the whole line for the participant header)"},
    };
    return columns;
}

const std::vector<CsvColumn>& handsCodebook() {
    static const std::vector<CsvColumn> columns = {
        kSession,
        kDate,
        kParticipant,
        {"hand", "integer", "", "hand number from 1"},
        {"opener", "string", "",
         "`ck` or `nk`: the role that acted first (the shoe's opener, which the logs do not "
         "name); empty when nobody acted"},
        {"colorCardView", "string", "", "the card dealt to the ColorKeeper's hand, as written (`2H`)"},
        {"downColorCardView", "string", "", "the card dealt face down on the ColorKeeper's side"},
        {"upCardView", "string", "", "the card dealt face up"},
        {"downNumberCardView", "string", "", "the card dealt face down on the NumberKeeper's side"},
        {"numberCardView", "string", "", "the card dealt to the NumberKeeper's hand"},
        {"targetCardView", "string", "", "the card dealt to the Target"},
        {"goal", "string", "",
         "the goal card: from the session's setup (its saved setup, or `--setup`), otherwise the Target card of a "
         "hand that ended with `GE`; else empty"},
        {"ck_swaps", "integer", "", "the ColorKeeper's moves (exchanges) in the hand"},
        {"ck_passes", "integer", "", "the ColorKeeper's passes"},
        {"nk_swaps", "integer", "", "the NumberKeeper's moves (exchanges)"},
        {"nk_passes", "integer", "", "the NumberKeeper's passes"},
        {"actions", "integer", "", "all moves and passes of the hand (what the score is charged for)"},
        {"ck_pick_ups", "integer", "",
         "cards the ColorKeeper picked up to drag (`pR`), whichever log holds the record (see `actor`)"},
        {"nk_pick_ups", "integer", "", "cards the NumberKeeper picked up to drag (`pR`)"},
        {"ck_looks", "integer", "", "the ColorKeeper's looks at its own hand card (`pL`)"},
        {"nk_looks", "integer", "", "the NumberKeeper's looks at its own hand card (`pL`)"},
        {"ended_by", "string", "",
         "`goal`, `four_passes`, `move_limit`, `several` (more than one at once); empty when the hand did not end"},
        {"end_codes", "string", "", "the codes of the hand-end blocks, `GE`, `GP`, `GM` or e.g. `GP+GM`"},
        {"ck_count", "integer", "", "the moves and passes the ColorKeeper's hand-end record counts"},
        {"nk_count", "integer", "", "the moves and passes the NumberKeeper's hand-end record counts"},
        {"ck_score", "number", "points", "the hand's score in the ColorKeeper's log, as written"},
        {"nk_score", "number", "points", "the hand's score in the NumberKeeper's log, as written"},
        {"deal_to_end_ms", "integer", "ms", "from the deal's clock reading to the hand's end"},
        {"fewest", "integer", "",
         "the fewest moves and passes that reach the goal under the session's setup (empty without one); 1 for a "
         "goal dealt at the Target, as the first action, whatever it is, ends the hand"},
        {"efficiency", "number", "",
         "`fewest` ÷ `actions`, 4 decimals, for a hand that reached its goal (`GE`); empty for a hand that ended on "
         "four passes or the move limit, and without `fewest`"},
        {"setup", "string", "",
         "the first 12 hex digits of the SHA-256 of the setup the session was played with, from its run record; "
         "empty without one"},
        {"program_version", "string", "", "the version of QBXSolo that played the session, from its run record"},
        {"continues_session", "string", "",
         "the session this one continues (its shoe made by `qbxtool resume`), from its run record; else empty"},
        {"continues_hand", "integer", "",
         "the hand of `continues_session` this session's hand 1 continues from; else empty"},
        {"simulated", "string", "",
         "`true` for a session played by `qbxtool simulate` (its run record says so), `false` for a participant's; "
         "empty without a run record"},
    };
    return columns;
}

std::string dataPackageJson(const std::vector<PackageTable>& tables, const std::vector<PackageSession>& sessions) {
    using json::Value;
    Value package = Value::object();
    package.set("profile", "tabular-data-package");
    package.set("name", "qbxsolo-sessions");
    package.set("title", "QBXSolo sessions");
    package.set("description",
                "Event logs of QBXSolo sessions as tables made by qbxtool csv: events.csv has one row per record of "
                "both logs of every session, hands.csv one row per hand.");
    Value& resources = package.set("resources", Value::array());
    for (const PackageTable& table : tables) {
        Value& resource = resources.push(Value::object());
        resource.set("name", table.name);
        resource.set("path", table.path);
        resource.set("profile", "tabular-data-resource");
        resource.set("format", "csv");
        resource.set("mediatype", "text/csv");
        resource.set("encoding", "utf-8");
        Value& dialect = resource.set("dialect", Value::object());
        dialect.set("delimiter", ",");
        dialect.set("lineTerminator", "\r\n");
        dialect.set("quoteChar", "\"");
        dialect.set("header", true);
        Value& schema = resource.set("schema", Value::object());
        Value& fields = schema.set("fields", Value::array());
        for (const CsvColumn& c : *table.columns) {
            Value& field = fields.push(Value::object());
            field.set("name", c.name);
            field.set("type", c.type);
            std::string description = c.meaning;
            if (*c.unit) description += std::string(" (unit: ") + c.unit + ")";
            field.set("description", description);
            if (*c.unit) field.set("unit", c.unit);
        }
        schema.set("missingValues", std::vector<std::string>{""});
    }
    // What the tables were made from, and by what; the sessions one line each.
    std::set<std::string> hashes;
    for (const PackageSession& s : sessions)
        if (!s.setupHash.empty()) hashes.insert(s.setupHash);
    package.set("qbxtool", Value::object()).set("version", versionText());
    package.set("setups", std::vector<std::string>(hashes.begin(), hashes.end()));
    const auto textOrNull = [](const std::string& value) { return value.empty() ? Value() : Value(value); };
    Value& list = package.set("sessions", Value::array());
    for (const PackageSession& s : sessions) {
        Value& session = list.push(Value::object(Value::Layout::OneLine));
        session.set("session", s.session);
        session.set("setup", textOrNull(s.setupHash));
        session.set("programVersion", textOrNull(s.programVersion));
    }
    return json::write(package) + "\n";
}

std::string codebookMarkdown(const std::vector<CsvColumn>& columns) {
    std::string text = "| column | type | unit | meaning |\n|---|---|---|---|\n";
    for (const CsvColumn& c : columns)
        text += std::string("| `") + c.name + "` | " + c.type + " | " + c.unit + " | " + c.meaning + " |\n";
    return text;
}

}  // namespace qbx::tool::logs
