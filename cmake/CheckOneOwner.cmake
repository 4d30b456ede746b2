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
  file(STRINGS "${file}" "lines_of_${name}")
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

if(faults)
  message(FATAL_ERROR "a second owner:\n${faults}")
endif()
message(STATUS "${rule_count} rules, each held by its owner alone")
