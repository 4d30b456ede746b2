# The commit the programs are built from, for the run record and
# `qbxtool --version`: QBX_COMMIT (empty outside a git checkout, e.g. a
# source package). CMake runs again when HEAD or the branch it names moves,
# so that an incremental build after a commit never carries the commit before.
execute_process(COMMAND git rev-parse --short HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                OUTPUT_VARIABLE QBX_COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(QBX_COMMIT)
  execute_process(COMMAND git rev-parse --symbolic-full-name HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                  OUTPUT_VARIABLE qbx_head_ref OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(qbx_git_files HEAD packed-refs)
  if(qbx_head_ref MATCHES "^refs/")
    list(APPEND qbx_git_files "${qbx_head_ref}")
  endif()
  foreach(name IN LISTS qbx_git_files)
    # --git-path names the file for a worktree too (HEAD its own, refs shared).
    execute_process(COMMAND git rev-parse --git-path "${name}" WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE qbx_git_file OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    get_filename_component(qbx_git_file "${qbx_git_file}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
    if(EXISTS "${qbx_git_file}")
      set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${qbx_git_file}")
    endif()
  endforeach()
endif()
