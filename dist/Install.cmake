# What `cmake --install` puts on a machine: the programs, the example setup
# that `qbxtool init` copies, a desktop entry with its icon, the manual
# pages, and the copyright and changelog a Debian package must carry.
if(QBX_BUILD_VIEW)
  install(TARGETS qbxsolo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET qbxreplay)
  install(TARGETS qbxreplay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(QBX_BUILD_TOOL)
  install(TARGETS qbxtool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/qbxsolo/examples)
if(WIN32)
  return()
endif()

install(FILES dist/qbxsolo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/qbxsolo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/qbxsolo-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps
        RENAME qbxsolo.png)

# Manual pages and the changelog are installed compressed (gzip -9n: no name,
# no time, so the same sources give the same bytes).
set(QBX_PACKAGE_MAINTAINER "QBXSolo developers <qbxsolo@example.org>"
    CACHE STRING "The maintainer named in the Debian package and its changelog")
set(QBX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/qbxsolo)
install(FILES dist/copyright DESTINATION ${QBX_DOC_DIR})
string(TIMESTAMP QBX_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(dist/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/dist/changelog @ONLY)
set(QBX_TO_COMPRESS dist/changelog)
foreach(page qbxsolo qbxtool qbxreplay)
  configure_file(dist/${page}.1 ${CMAKE_CURRENT_BINARY_DIR}/dist/${page}.1 @ONLY)
  list(APPEND QBX_TO_COMPRESS dist/${page}.1)
endforeach()
find_program(GZIP_PROGRAM gzip REQUIRED)
set(QBX_COMPRESSED)
foreach(file ${QBX_TO_COMPRESS})
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/${file}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${file})
  list(APPEND QBX_COMPRESSED ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz)
endforeach()
add_custom_target(qbx_compressed_docs ALL DEPENDS ${QBX_COMPRESSED})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/changelog.gz DESTINATION ${QBX_DOC_DIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/qbxsolo.1.gz ${CMAKE_CURRENT_BINARY_DIR}/dist/qbxtool.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/dist/qbxreplay.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
