#include "tool/csv/Readers.h"

#include <cstdio>
#include <string_view>

namespace qbx::tool::logs {

namespace {

// A file name as a string literal of both languages: the name's bytes, those
// outside printable ASCII (and the quote and backslash) escaped as \xNN, so
// that any name the table was written under comes back byte for byte. In
// Python it is a bytes literal (`b` before it), decoded as the system does
// file names.
std::string bytesLiteral(std::string_view name) {
    std::string text = "\"";
    for (const unsigned char c : name) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text + "\"";
}

// Python names its data frames' types as pandas does; R as read.csv's
// colClasses. Every codebook type has one in each.
const char* rClass(std::string_view type) {
    if (type == "integer") return "integer";
    if (type == "number") return "numeric";
    if (type == "date") return "Date";
    if (type == "boolean") return "logical";
    return "character";
}

std::string tupleOfNames(const std::vector<PackageTable>& tables) {
    std::string names = "(";
    for (const PackageTable& t : tables) names += t.name + ", ";
    if (tables.size() > 1) names.resize(names.size() - 2);
    return names + ")";
}

}  // namespace

std::string pandasReader(const std::vector<PackageTable>& tables) {
    std::string text =
        "# Reads the tables qbxtool csv wrote beside this file into pandas data frames,\n"
        "# each column as its codebook (datapackage.json) types it: text as str, so a\n"
        "# participant code 0042 stays \"0042\" and a version 1.0 stays \"1.0\"; integers as\n"
        "# Int64, numbers as float64, dates as datetime64, booleans as boolean; an empty\n"
        "# cell is missing. pandas.read_csv with no options would guess each column's\n"
        "# type from its cells instead.\n"
        "#\n"
        "#   python3 read_tables.py [FOLDER]       loads the tables and says what it read\n"
        "#   exec(open(\"read_tables.py\").read())   in Python, in this folder: " +
        tupleOfNames(tables) +
        "\n"
        "#   import read_tables                    the same, as read_tables." +
        tables.front().name +
        ", ...\n"
        "#   read_tables(\"other/folder\")          the tables of another folder, once loaded\n"
        "\n"
        "import os\n"
        "import sys\n"
        "\n"
        "import pandas as pd\n"
        "\n"
        "# Each table's file and its columns' codebook types, in the order of its header.\n"
        "TABLES = {\n";
    for (const PackageTable& t : tables) {
        text += "    \"" + t.name + "\": (b" + bytesLiteral(t.path) + ", {\n";
        for (const CsvColumn& c : *t.columns) text += std::string("        \"") + c.name + "\": \"" + c.type + "\",\n";
        text += "    }),\n";
    }
    text +=
        "}\n"
        "\n"
        "\n"
        "def read_table(path, types):\n"
        "    \"\"\"One table, every column of the type its codebook names.\"\"\"\n"
        "    read_as = dict(integer=\"Int64\", number=\"float64\")\n"
        "    frame = pd.read_csv(path, dtype={c: read_as.get(t, str) for c, t in types.items()},\n"
        "                        keep_default_na=False, na_values=[\"\"], encoding=\"utf-8\")\n"
        "    if list(frame.columns) != list(types):\n"
        "        raise ValueError(path + \": its columns are not those this reader was written for\")\n"
        "    for column, kind in types.items():\n"
        "        if kind == \"date\":\n"
        "            frame[column] = pd.to_datetime(frame[column], format=\"%Y-%m-%d\")\n"
        "        elif kind == \"boolean\":\n"
        "            frame[column] = frame[column].map(dict(true=True, false=False)).astype(\"boolean\")\n"
        "    return frame\n"
        "\n"
        "\n"
        "def read_tables(folder=\".\"):\n"
        "    \"\"\"The tables in `folder`, as data frames in the order of TABLES.\"\"\"\n"
        "    return tuple(read_table(os.path.join(folder, os.fsdecode(name)), types)\n"
        "                 for name, types in TABLES.values())\n"
        "\n"
        "\n"
        "if __name__ == \"__main__\" and os.path.basename(sys.argv[0]) == \"read_tables.py\":\n"
        "    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(sys.argv[0]))\n"
        "    " +
        tupleOfNames(tables) +
        " = read_tables(folder)\n"
        "    for name, frame in zip(TABLES, " +
        tupleOfNames(tables) +
        "):\n"
        "        print(f\"{name}: {len(frame)} rows, {len(frame.columns)} columns\")\n"
        "else:\n"
        "    # Imported: the tables beside this file; run by exec: those of the current folder.\n"
        "    _here = globals().get(\"__file__\")\n"
        "    " +
        tupleOfNames(tables) +
        " = read_tables(os.path.dirname(os.path.abspath(_here))\n"
        "        if _here and os.path.basename(_here) == \"read_tables.py\" else \".\")\n";
    return text;
}

std::string rReader(const std::vector<PackageTable>& tables) {
    std::string text =
        "# Reads the tables qbxtool csv wrote beside this file into data frames, each\n"
        "# column as its codebook (datapackage.json) types it: text as character, so a\n"
        "# participant code 0042 stays \"0042\" and a version 1.0 stays \"1.0\"; integers as\n"
        "# integer, numbers as numeric, dates as Date, booleans as logical; an empty cell\n"
        "# is NA. read.csv with no options would guess each column's type from its cells\n"
        "# instead (and read a code NA as missing).\n"
        "#\n"
        "#   Rscript read_tables.R [FOLDER]    loads the tables and says what it read\n"
        "#   source(\"path/read_tables.R\")      in R: the data frames";
    for (const PackageTable& t : tables) text += " " + t.name;
    text +=
        ", from the file's folder\n"
        "#   read_tables(\"other/folder\")       the tables of another folder, as a list\n"
        "\n"
        "# Each table's file and its columns' classes, in the order of its header.\n"
        "qbx_tables <- list(\n";
    for (size_t i = 0; i < tables.size(); ++i) {
        const PackageTable& t = tables[i];
        text += "  " + t.name + " = list(file = " + bytesLiteral(t.path) + ", classes = c(\n";
        for (size_t k = 0; k < t.columns->size(); ++k) {
            const CsvColumn& c = (*t.columns)[k];
            text += std::string("    ") + c.name + " = \"" + rClass(c.type) + "\"" +
                    (k + 1 < t.columns->size() ? ",\n" : "\n");
        }
        text += i + 1 < tables.size() ? "  )),\n" : "  ))\n";
    }
    text +=
        ")\n"
        "\n"
        "# One table, every column of the class its codebook names.\n"
        "read_table <- function(path, classes) {\n"
        "  frame <- read.csv(path, colClasses = classes, na.strings = \"\", encoding = \"UTF-8\",\n"
        "                    check.names = FALSE)\n"
        "  if (!identical(names(frame), names(classes)))\n"
        "    stop(path, \": its columns are not those this reader was written for\")\n"
        "  frame\n"
        "}\n"
        "\n"
        "# The tables in `folder`, as a list of data frames named as qbx_tables.\n"
        "read_tables <- function(folder = \".\") {\n"
        "  lapply(qbx_tables, function(t) read_table(file.path(folder, t$file), t$classes))\n"
        "}\n"
        "\n"
        "# Sourced: the tables beside the file sourced. Run by Rscript: those of the\n"
        "# folder given, else those beside this file. Otherwise those of the current folder.\n"
        "local({\n"
        "  sourced <- Filter(function(f) !is.null(f$ofile), sys.frames())\n"
        "  script <- sub(\"^--file=\", \"\", grep(\"^--file=\", commandArgs(FALSE), value = TRUE))\n"
        "  given <- commandArgs(TRUE)\n"
        "  as_script <- length(sourced) == 0 && length(script) == 1 && basename(script) == \"read_tables.R\"\n"
        "  folder <- if (length(sourced) > 0) dirname(sourced[[length(sourced)]]$ofile)\n"
        "    else if (as_script && length(given) > 0) given[1]\n"
        "    else if (as_script) dirname(script)\n"
        "    else \".\"\n"
        "  tables <- read_tables(folder)\n";
    for (const PackageTable& t : tables) text += "  " + t.name + " <<- tables$" + t.name + "\n";
    text +=
        "  if (as_script)\n"
        "    for (name in names(tables))\n"
        "      cat(name, \": \", nrow(tables[[name]]), \" rows, \", ncol(tables[[name]]), \" columns\\n\", sep = "
        "\"\")\n"
        "})\n";
    return text;
}

}  // namespace qbx::tool::logs
