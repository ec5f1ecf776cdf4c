# One version for the project: project(... VERSION ...) is its home. Code reads it from the
# generated extavik_version.h (target extavik_version); every shipped DLL and program carries it
# in a VERSIONINFO resource made from cmake/version.rc.in.
set(EXTAVIK_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${EXTAVIK_VERSION_DIR}/extavik_version.h @ONLY)
add_library(extavik_version INTERFACE)
target_include_directories(extavik_version INTERFACE ${EXTAVIK_VERSION_DIR})

# extavik_version_resource(TARGET FILE DESCRIPTION): TARGET's version resource, FILE its original
# file name, DESCRIPTION (Japanese) what Windows shows as the file's description.
function(extavik_version_resource target file description)
  set(VERSION_TARGET ${target})
  set(VERSION_FILE ${file})
  set(VERSION_DESCRIPTION ${description})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL EXECUTABLE)
    set(VERSION_FILETYPE VFT_APP)
  else()
    set(VERSION_FILETYPE VFT_DLL)
  endif()
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${EXTAVIK_VERSION_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${EXTAVIK_VERSION_DIR}/${target}.rc)
endfunction()

# What ships, with its description: a new DLL or program of the release is a new row.
extavik_version_resource(EXTAVIK      EXTAVIK.dll    "GPIB 計測モジュール (GPIB-IN / GPIB-OUT) プラグイン")
extavik_version_resource(TavkX        TavkX.dll      "GPIB ボード・アクセス・ライブラリ")
extavik_version_resource(tavk         tavk.dll       "模擬 GPIB ボード・ドライバ (模擬計測器)")
extavik_version_resource(tavk_ni      tavk.dll       "NI-488.2 経由の GPIB ボード・ドライバ")
extavik_version_resource(tavk_adapter tavk.dll       "++ プロトコル・アダプタ経由の GPIB ボード・ドライバ")
extavik_version_resource(tavk_lan     tavk.dll       "LAN (VXI-11・ソケット) 計測器の GPIB ボード・ドライバ")
extavik_version_resource(ni4882_sim   ni4882.dll     "模擬 NI-488.2 ライブラリ (模擬計測器)")
extavik_version_resource(adaptersim   adaptersim.dll "模擬 ++ プロトコル・アダプタ (模擬計測器)")
extavik_version_resource(lansim       lansim.dll     "模擬 LAN 計測器 (VXI-11・ソケット、模擬計測器)")
extavik_version_resource(gpibrun      gpibrun.exe    "ワークシート実行プログラム")

# The code that prints the version: the drivers' trace and the runner.
target_link_libraries(board_core PRIVATE extavik_version)
target_link_libraries(tavk_sim PRIVATE extavik_version)
target_link_libraries(gpibrun PRIVATE extavik_version)
