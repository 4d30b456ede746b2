# A cross build takes the header-only library CLI11 from the build machine, without the rest of its /usr/include (glibc's headers
# must not be seen by the Windows compiler): a folder that holds only it.
set(QBX_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(dir CLI)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: install libcli11-dev")
  endif()
  file(MAKE_DIRECTORY ${QBX_HOST_HEADERS})
  file(CREATE_LINK /usr/include/${dir} ${QBX_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${QBX_HOST_HEADERS})
