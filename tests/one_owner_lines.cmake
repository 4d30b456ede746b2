# The one-owner check names a second copy at the line that holds it, after
# lines that a CMake list would read otherwise: a bracket left open on its
# line, text beyond ASCII, a semicolon.
#   cmake -DQBX_CHECK=<CheckOneOwner.cmake> -DQBX_WORK=<a folder of its own> -P tests/one_owner_lines.cmake

cmake_minimum_required(VERSION 3.22)

file(REMOVE_RECURSE "${QBX_WORK}")
file(WRITE "${QBX_WORK}/src/Brackets.cpp"
     "int sizes[\n    3] = {1, 2, 3};\nauto f = [&](int i) { return sizes[\n    i]; };\n\nstd::string text = j.dump();\n")
file(WRITE "${QBX_WORK}/src/Words.cpp"
     "// \"Café\" — a 75 × 107 card; its name ≤ 8 bytes\n\n#include <nlohmann/json.hpp>\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -DQBX_SOURCE_DIR=${QBX_WORK} -P "${QBX_CHECK}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE said)
if(status EQUAL 0)
  message(FATAL_ERROR "the planted copies were not found:\n${out}${said}")
endif()
foreach(want "src/Brackets.cpp:6: a JSON library" "src/Words.cpp:3: a JSON library")
  string(FIND "${said}" "${want}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "not said: \"${want}\"; said:\n${said}")
  endif()
endforeach()
file(REMOVE_RECURSE "${QBX_WORK}")
