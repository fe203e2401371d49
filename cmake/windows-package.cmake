# The Windows program's extras, for WIN32 builds: the host-built asset
# generator, the executable's resources (icon, version record, manifest),
# static run-time libraries, and build-win/TideAngler-win64.zip.
include(ExternalProject)

set(GAME_VERSION 1.0.0)
set(GAME_VERSION_FOUR ${GAME_VERSION}.0)
string(REPLACE "." "," GAME_VERSION_COMMAS ${GAME_VERSION_FOUR})

# The .exe needs only Windows DLLs (and the DirectX runtime): no libgcc,
# libstdc++ or winpthread DLLs beside it.
if(MINGW)
  target_link_options(tideangler PRIVATE -static -static-libgcc -static-libstdc++)
endif()

# Assets: the generator is a Linux program, built with the host compiler in a
# build of its own and run into the run directory, as in the Linux build.
set(ASSETGEN_HOST_ARGS
  -DCMAKE_BUILD_TYPE=Release
  -DGAME_RUN_DIR=${GAME_RUN_DIR}
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)
if(CMAKE_CXX_COMPILER_LAUNCHER)
  list(APPEND ASSETGEN_HOST_ARGS -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
ExternalProject_Add(assetgen_host
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
  CMAKE_ARGS ${ASSETGEN_HOST_ARGS}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  USES_TERMINAL_BUILD ON)

# Resources: the generator's multi-size icon, the version, the manifest.
set(GAME_ICON_FILE ${GAME_RUN_DIR}/icons/tideangler.ico)
set(GAME_MANIFEST_FILE ${CMAKE_BINARY_DIR}/packaging/tideangler.manifest)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/tideangler.manifest ${GAME_MANIFEST_FILE} @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/tideangler.rc.in
  ${CMAKE_BINARY_DIR}/packaging/tideangler.rc @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/manifest.rc.in
  ${CMAKE_BINARY_DIR}/packaging/manifest.rc @ONLY)
set(GAME_MANIFEST_RC ${CMAKE_BINARY_DIR}/packaging/manifest.rc)
target_sources(tideangler PRIVATE ${CMAKE_BINARY_DIR}/packaging/tideangler.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/packaging/tideangler.rc PROPERTIES
  OBJECT_DEPENDS "${GAME_MANIFEST_FILE}")
add_dependencies(tideangler assetgen_host)

# The zip: one folder with the program, the assets and a README.txt.
if(RANKING_FILE_PATH MATCHES "^//")
  string(REPLACE "/" "\\" ranking_unc "${RANKING_FILE_PATH}")
  set(GAME_RANKING_DISPLAY "${ranking_unc} (the Public user folder of this PC,\nthrough its network share).")
else()
  set(GAME_RANKING_DISPLAY "${RANKING_FILE_PATH} (relative to the game's folder).")
endif()
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README.txt ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY
  NEWLINE_STYLE CRLF)

set(ZIP_NAME TideAngler-win64)
# The packed program goes without its debug information.
if(CMAKE_STRIP)
  set(ZIP_STRIP ${CMAKE_STRIP})
else()
  set(ZIP_STRIP ${CMAKE_COMMAND} -E true)
endif()
set(ZIP_STAGE ${CMAKE_BINARY_DIR}/zip-stage)
set(ZIP_FOLDER ${ZIP_STAGE}/TideAngler)
add_custom_target(windows_zip ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZIP_STAGE} ${CMAKE_BINARY_DIR}/${ZIP_NAME}.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZIP_FOLDER}/asset
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tideangler> ${CMAKE_BINARY_DIR}/packaging/README.txt ${ZIP_FOLDER}
  COMMAND ${ZIP_STRIP} ${ZIP_FOLDER}/tideangler.exe
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${GAME_RUN_DIR}/model ${ZIP_FOLDER}/model
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${GAME_RUN_DIR}/asset/texture ${ZIP_FOLDER}/asset/texture
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${GAME_RUN_DIR}/SE ${ZIP_FOLDER}/SE
  COMMAND ${CMAKE_COMMAND} -E chdir ${ZIP_STAGE}
          ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/${ZIP_NAME}.zip --format=zip TideAngler
  DEPENDS tideangler assetgen_host
  COMMENT "Packing ${ZIP_NAME}.zip"
  VERBATIM)
