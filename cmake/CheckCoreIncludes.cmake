# Holds the core to its promise: plain C++ that a unit test can run and a
# Windows build can compile. Outside src/core/platform a core file includes
# only the C++ standard library and the core itself; no file of the core
# includes a Qt header. Run by CTest:
#   cmake -DQBX_SOURCE_DIR=<repository> -P cmake/CheckCoreIncludes.cmake

cmake_minimum_required(VERSION 3.22)

set(standard_headers
  algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono cinttypes
  climits clocale cmath compare complex concepts condition_variable coroutine csignal cstdarg cstddef cstdint
  cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution filesystem format forward_list
  fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list
  locale map memory memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex
  scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token streambuf
  string string_view syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
  unordered_set utility valarray variant vector version)

if(NOT QBX_SOURCE_DIR)
  message(FATAL_ERROR "give -DQBX_SOURCE_DIR=<the repository>")
endif()
file(GLOB_RECURSE core_files "${QBX_SOURCE_DIR}/src/core/*.h" "${QBX_SOURCE_DIR}/src/core/*.cpp")
set(faults "")
set(checked 0)
foreach(file ${core_files})
  file(RELATIVE_PATH name "${QBX_SOURCE_DIR}" "${file}")
  string(REGEX MATCH "^src/core/platform/" in_platform "${name}")
  file(STRINGS "${file}" lines)
  set(line_number 0)
  foreach(line IN LISTS lines)
    math(EXPR line_number "${line_number} + 1")
    if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    set(bracket "${CMAKE_MATCH_1}")
    set(header "${CMAKE_MATCH_2}")
    if(header MATCHES "^Q" OR header MATCHES "^qt" OR header MATCHES "/Q[A-Za-z]*$")
      string(APPEND faults "${name}:${line_number}: a Qt header <${header}> in the core\n")
    elseif(bracket STREQUAL "\"")
      if(NOT header MATCHES "^core/")
        string(APPEND faults "${name}:${line_number}: \"${header}\" is not part of the core\n")
      endif()
    elseif(NOT in_platform AND NOT header IN_LIST standard_headers)
      string(APPEND faults "${name}:${line_number}: <${header}> is not the C++ standard library; only "
                           "src/core/platform talks to the operating system\n")
    endif()
  endforeach()
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "no #include found under ${QBX_SOURCE_DIR}/src/core: wrong folder?")
endif()
if(faults)
  message(FATAL_ERROR "The core includes what it must not:\n${faults}")
endif()
message(STATUS "${checked} includes of the core checked")
