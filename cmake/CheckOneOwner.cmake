# Each piece of knowledge has one owner: one reader of a session, one JSON
# writer, one whole-file reader, one output guard. A rule below names what a
# second copy would look like (a regular expression matched line by line) and
# the files allowed to hold it; a match anywhere else under src/ or bench/ is a
# fault. Run by CTest:
#   cmake -DQBX_SOURCE_DIR=<repository> -P cmake/CheckOneOwner.cmake

cmake_minimum_required(VERSION 3.22)

if(NOT QBX_SOURCE_DIR)
  message(FATAL_ERROR "give -DQBX_SOURCE_DIR=<the repository>")
endif()
file(GLOB_RECURSE checked_files
     "${QBX_SOURCE_DIR}/src/*.h" "${QBX_SOURCE_DIR}/src/*.cpp" "${QBX_SOURCE_DIR}/bench/*.cpp")
foreach(file ${checked_files})
  file(RELATIVE_PATH name "${QBX_SOURCE_DIR}" "${file}")
  # Lines read as UTF-8 text (else a line is cut at its first byte beyond
  # ASCII). "[" and "]" are read as "(" and ")": in a CMake list an unclosed
  # "[" holds the lines after it in one element, and the line numbers said
  # would be those of the lines as merged. No rule looks for a bracket.
  file(STRINGS "${file}" lines ENCODING UTF-8)
  string(REPLACE "[" "(" lines "${lines}")
  string(REPLACE "]" ")" lines "${lines}")
  set("lines_of_${name}" "${lines}")
endforeach()

set(faults "")
set(rule_count 0)

# one_owner(WHAT <text> PATTERN <regex> [EXCEPT <regex>] [OWNERS <file>...]):
# only the owners may hold a line that matches PATTERN and not EXCEPT; with no
# owner, no file may.
function(one_owner)
  cmake_parse_arguments(RULE "" "WHAT;PATTERN;EXCEPT" "OWNERS" ${ARGN})
  if(RULE_OWNERS)
    string(REPLACE ";" ", " owners "${RULE_OWNERS}")
    set(verdict "belongs to ${owners} alone")
  else()
    set(verdict "belongs in no file")
  endif()
  foreach(file ${checked_files})
    file(RELATIVE_PATH name "${QBX_SOURCE_DIR}" "${file}")
    if(name IN_LIST RULE_OWNERS)
      continue()
    endif()
    set(line_number 0)
    foreach(line IN LISTS "lines_of_${name}")
      math(EXPR line_number "${line_number} + 1")
      if(line MATCHES "${RULE_PATTERN}" AND NOT (RULE_EXCEPT AND line MATCHES "${RULE_EXCEPT}"))
        string(APPEND faults "${name}:${line_number}: ${RULE_WHAT} ${verdict}\n")
      endif()
    endforeach()
  endforeach()
  math(EXPR rule_count "${rule_count} + 1")
  set(faults "${faults}" PARENT_SCOPE)
  set(rule_count "${rule_count}" PARENT_SCOPE)
endfunction()

# SHA-256, for the run record's hashes and the setup's digest.
one_owner(WHAT "a SHA-256" PATTERN "class Sha256|SHA256_|sha256_init" OWNERS src/core/runrecord/Sha256.h)

# Whole files are read by sys::readWholeFile (core/platform), which reads only
# regular files and within a limit.
one_owner(WHAT "a whole-file read (use sys::readWholeFile)"
          PATTERN "std::i?fstream|fopen\\(.*, *\"r|QFile [A-Za-z_]|QFile\\(")

# A file takes the place of another by sys::ReplacingFile alone (the rename
# that syncs its folder) and a folder by sys::renameDirectory.
one_owner(WHAT "a replace-by-rename (use sys::ReplacingFile or sys::replaceWholeFile)"
          PATTERN "rename\\(|replaceFile\\(|QSaveFile|MoveFileEx"
          OWNERS src/core/platform/Folders.cpp src/core/platform/System.h src/core/platform/SystemPosix.cpp
                 src/core/platform/SystemWindows.cpp)

# What an output may replace is decided by the output guard alone.
one_owner(WHAT "an output guard (use output::refusal)"
          PATTERN "an output never|add --force to|startsLikeALog|nothing is overwritten"
          OWNERS src/core/output/OutputGuard.cpp)

# One reader of a session (src/core/session): the day's length and stamps
# across midnight, the actions a session's records make, the participant code
# without the three blanks the program adds, the deal's timing from the game.
one_owner(WHAT "the day's length" PATTERN "86400000|kDayMs = " OWNERS src/core/session/SessionTime.h)
one_owner(WHAT "stamps across midnight" PATTERN "dayOffset|kDayMs / 2|kHalfDayMs = "
          OWNERS src/core/session/SessionTime.h)
one_owner(WHAT "the kinds of a session's actions" PATTERN "enum class ActionKind"
          OWNERS src/core/session/SessionActions.h)
one_owner(WHAT "the three blanks after a participant code" PATTERN "compare\\(.*\"   \"\\)|participant.*back\\(\\) == ' '"
          OWNERS src/core/session/SessionActions.cpp)
one_owner(WHAT "the deal's timing" PATTERN "[0-9L] *\\* *302|302 *\\* *[0-9]")
# A stamp's text is read by the log's parser and the session module; the csv
# row copies a stamp's digits as they are written; the JSON reader reads a
# number's point.
one_owner(WHAT "a stamp read by hand" PATTERN "[!=]= '\\.'" EXCEPT "back\\(\\) == '\\.'"
          OWNERS src/core/eventlog/LogParsing.cpp src/core/session/SessionActions.cpp src/core/session/SessionTime.cpp
                 src/tool/csv/CsvRow.h src/core/json/Json.cpp)
# A log's lines are read through LogReader; a line end is written by LogFile.
one_owner(WHAT "a log's lines split by hand" PATTERN "find\\(\"\\\\r\\\\n\"")

# The process's directory stays where the program was started: a game is
# given the folder it plays in.
one_owner(WHAT "changing the process's directory"
          PATTERN "current_path\\(.|QDir::setCurrent|[^a-zA-Z_]chdir\\("
          EXCEPT "current_path\\((ec|error)?\\)")

# JSON: one value type, writer and reader. A second writer shows as nlohmann's
# dump, as a \u escape written out, or as keys quoted by hand ("{\"key\": ").
one_owner(WHAT "a JSON library" PATTERN "nlohmann|\\.dump\\(")
one_owner(WHAT "a JSON string escaper" PATTERN "u%04[xX]" OWNERS src/core/json/Json.cpp)
one_owner(WHAT "a JSON object written by hand" PATTERN "[{,] ?\\\\\"[A-Za-z_]+\\\\\": ")
# The run record: one type, read and written in the core.
one_owner(WHAT "the run record's type" PATTERN "struct RunRecord( |$)" OWNERS src/core/runrecord/RunRecord.h)
# 8-bit text read as Unicode: one decoder. A second shows as a code page's
# table (Windows-1252's euro sign), as UTF-8 encoded by hand, or as Qt's
# decoders.
one_owner(WHAT "a code page table" PATTERN "0x20[aA][cC]|0x201[aA]|0x2122" OWNERS src/core/text/Encoding.cpp)
one_owner(WHAT "UTF-8 encoded by hand" PATTERN "0xC0 \\|" OWNERS src/core/text/Encoding.cpp)
one_owner(WHAT "a text decoder" PATTERN "QStringDecoder|fromLocal8Bit|QTextCodec")

# Text put into a page is escaped in one place.
one_owner(WHAT "an HTML escaper (use htmlEscape, core/text/Html.h)" PATTERN "&lt;" OWNERS src/core/text/Html.cpp)

if(faults)
  message(FATAL_ERROR "a second owner:\n${faults}")
endif()
message(STATUS "${rule_count} rules, each held by its owner alone")
