# The release package: cmake -DSRC=source -DBIN=build/bin -DVERSION=1.0.0 -DOUT=dir -P dist.cmake
# makes OUT/extavik-VERSION-win32.zip, one folder extavik-VERSION-win32/ holding what the host
# folder needs at the top, the real drivers with a sample settings file each, the simulators,
# the worksheet runner with the example worksheets, the user's documents, INSTALL.md and
# SHA256SUMS. Zipped by CMake itself (cmake -E tar --format=zip): nothing else to install.
cmake_minimum_required(VERSION 3.20)
foreach(var SRC BIN VERSION OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "dist.cmake needs -D${var}=...")
  endif()
endforeach()

set(name extavik-${VERSION}-win32)
set(stage ${OUT}/${name})
file(REMOVE_RECURSE ${stage} ${OUT}/${name}.zip)
file(MAKE_DIRECTORY ${stage})

# What goes where: "from|to" (from relative to BIN or SRC as its prefix says; to in the package).
set(files
  "BIN/EXTAVIK.dll|EXTAVIK.dll"
  "BIN/TavkX.dll|TavkX.dll"
  "BIN/tavk.dll|tavk.dll"
  "BIN/gpibrun.exe|gpibrun.exe"
  "BIN/ni4882/tavk.dll|drivers/ni4882/tavk.dll"
  "SRC/packaging/tavk_ni.json|drivers/ni4882/tavk_ni.json"
  "BIN/adapter/tavk.dll|drivers/adapter/tavk.dll"
  "SRC/packaging/tavk_adapter.json|drivers/adapter/tavk_adapter.json"
  "BIN/lan/tavk.dll|drivers/lan/tavk.dll"
  "SRC/packaging/tavk_lan.json|drivers/lan/tavk_lan.json"
  "BIN/nisim/ni4882.dll|simulators/ni4882.dll"
  "BIN/adaptersim/adaptersim.dll|simulators/adaptersim.dll"
  "BIN/lansim/lansim.dll|simulators/lansim.dll"
  "SRC/CHANGELOG.md|CHANGELOG.md"
  "SRC/docs/scripts.md|docs/scripts.md"
  "SRC/docs/dialogs.md|docs/dialogs.md")
file(GLOB pictures RELATIVE ${SRC}/docs ${SRC}/docs/*.png)
foreach(p ${pictures})
  list(APPEND files "SRC/docs/${p}|docs/${p}")
endforeach()
file(GLOB sheets RELATIVE ${SRC}/examples ${SRC}/examples/*.json)
foreach(s ${sheets})
  list(APPEND files "SRC/examples/${s}|examples/${s}")
endforeach()

foreach(pair ${files})
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 from)
  list(GET pair 1 to)
  string(REGEX REPLACE "^BIN/" "${BIN}/" from "${from}")
  string(REGEX REPLACE "^SRC/" "${SRC}/" from "${from}")
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "dist: ${from} is missing (build the release first)")
  endif()
  get_filename_component(dir ${stage}/${to} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  file(COPY_FILE ${from} ${stage}/${to})
endforeach()
configure_file(${SRC}/packaging/INSTALL.md.in ${stage}/INSTALL.md @ONLY)

# SHA256SUMS: every file but itself, in the form sha256sum -c reads.
file(GLOB_RECURSE packed RELATIVE ${stage} ${stage}/*)
list(SORT packed)
set(sums "")
foreach(f ${packed})
  file(SHA256 ${stage}/${f} hash)
  string(APPEND sums "${hash}  ${f}\n")
endforeach()
file(WRITE ${stage}/SHA256SUMS "${sums}")

# Every entry stamped with one time, so the same build gives the same zip.
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${name}.zip --format=zip "--mtime=2000-01-01 00:00:00 UTC" ${name}
  WORKING_DIRECTORY ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dist: the zip could not be written (${rc})")
endif()
file(REMOVE_RECURSE ${stage})
message(STATUS "dist: ${OUT}/${name}.zip")
