# Runs a worksheet through the simulated tavk.dll and through the NI-backed one over the simulated
# ni4882.dll, and compares what went over the bus: the two records must be the same, line by line.
# cmake -DRUN=wine-run.sh -DARCH=i686 -DGPIBRUN=gpibrun.exe -DSHEET=worksheet -DOUT=dir -P samebus.cmake
# -DOTHER=lan compares the values only with the LAN driver over the LAN simulator instead: its
# instruments sit behind a simulated gateway that addresses them its own way.
if(NOT OTHER)
  set(OTHER ni4882)
endif()
set(drivers sim ${OTHER})
set(commands)
foreach(driver ${drivers})
  file(REMOVE ${OUT}/bus-${driver}.txt ${OUT}/bus-${driver}.csv)
  list(APPEND commands COMMAND ${RUN} ${ARCH} ${GPIBRUN} ${SHEET} --cycles 12 --quiet --driver ${driver}
                       --csv ${OUT}/bus-${driver}.csv --bus-record ${OUT}/bus-${driver}.txt)
endforeach()
# Both runs at once, as a pipeline of two (gpibrun reads nothing, so nothing flows between them):
# each has its own bench, and a second core halves the wait.
execute_process(${commands} RESULTS_VARIABLE codes OUTPUT_VARIABLE said ERROR_VARIABLE said)
foreach(driver ${drivers})
  list(POP_FRONT codes rc)
  set(record ${OUT}/bus-${driver}.txt)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${record})
    message(FATAL_ERROR "${SHEET} through ${driver}: gpibrun ended with ${rc} and no bus record:\n${said}")
  endif()
  file(READ ${record} bus_${driver})
  file(READ ${OUT}/bus-${driver}.csv values_${driver})
endforeach()
if(NOT bus_sim MATCHES "ATN UNL TAD [0-9]+ LAD [0-9]+\nDATA ")
  message(FATAL_ERROR "${SHEET}: the bus record shows no addressed message:\n${bus_sim}")
endif()
if(OTHER STREQUAL ni4882 AND NOT bus_sim STREQUAL bus_ni4882)
  message(FATAL_ERROR "${SHEET}: the bus differs between the drivers\n--- sim:\n${bus_sim}\n--- ni4882:\n${bus_ni4882}")
endif()
if(NOT values_sim STREQUAL values_${OTHER})
  message(FATAL_ERROR "${SHEET}: the values differ between the drivers\n--- sim:\n${values_sim}\n--- ${OTHER}:\n${values_${OTHER}}")
endif()
string(REGEX MATCHALL "\n" lines "${bus_sim}")
list(LENGTH lines count)
message(STATUS "${SHEET}: the same values (${count} bus lines) through sim and ${OTHER}")
