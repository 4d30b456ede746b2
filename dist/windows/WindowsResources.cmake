# The Windows resources of qbxsolo.exe: the manifest (per-monitor DPI
# awareness, common controls 6, no elevation), the icon made from
# dist/qbxsolo-48.png, and the version. Sets QBX_WINDOWS_RESOURCES.
set(QBX_RES_DIR ${PROJECT_BINARY_DIR}/dist/windows)
string(REPLACE "." "," QBX_VERSION_COMMAS "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
set(QBX_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
configure_file(${PROJECT_SOURCE_DIR}/dist/windows/qbxsolo.manifest ${QBX_RES_DIR}/qbxsolo.manifest @ONLY)
set(QBX_MANIFEST ${QBX_RES_DIR}/qbxsolo.manifest)
set(QBX_ICON ${QBX_RES_DIR}/qbxsolo.ico)
configure_file(${PROJECT_SOURCE_DIR}/dist/windows/qbxsolo.rc.in ${QBX_RES_DIR}/qbxsolo.rc @ONLY)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(OUTPUT ${QBX_ICON}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/dist/windows/png-to-ico.py
          ${PROJECT_SOURCE_DIR}/dist/qbxsolo-48.png ${QBX_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/dist/qbxsolo-48.png ${PROJECT_SOURCE_DIR}/dist/windows/png-to-ico.py)
set_source_files_properties(${QBX_RES_DIR}/qbxsolo.rc PROPERTIES OBJECT_DEPENDS "${QBX_ICON};${QBX_MANIFEST}")
set(QBX_WINDOWS_RESOURCES ${QBX_RES_DIR}/qbxsolo.rc)
