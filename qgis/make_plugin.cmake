# Stages the QGIS plugin and packs its zip (called by the target qgis_plugin):
#   STAGE/vortan_transform/   the plugin's files, metadata.txt, libvortan.so, vortan.dll if any
#   ZIP_FILE                  the zip of that folder
string(REPLACE "|" ";" FILES "${FILES}")
set(folder ${STAGE}/vortan_transform)
file(REMOVE_RECURSE ${folder})
file(MAKE_DIRECTORY ${folder})
file(COPY ${FILES} ${METADATA} DESTINATION ${folder})
file(COPY_FILE ${LINUX_LIBRARY} ${folder}/libvortan.so)
if(STRIP)
  execute_process(COMMAND ${STRIP} --strip-unneeded ${folder}/libvortan.so)
endif()
set(systems "Linux")
if(EXISTS ${WINDOWS_DLL})
  file(COPY_FILE ${WINDOWS_DLL} ${folder}/vortan.dll)
  if(WINDOWS_STRIP)
    execute_process(COMMAND ${WINDOWS_STRIP} --strip-unneeded ${folder}/vortan.dll)
  endif()
  set(systems "Linux and Windows")
else()
  message(STATUS "The QGIS plugin's zip holds libvortan.so only: it serves QGIS on Linux, "
                 "not on Windows (no ${WINDOWS_DLL}; scripts/build-windows makes it, and ./test "
                 "packs the zip again after it)")
endif()
file(REMOVE ${ZIP_FILE})
find_program(ZIP zip REQUIRED)
execute_process(COMMAND ${ZIP} -q -X -r ${ZIP_FILE} vortan_transform
                WORKING_DIRECTORY ${STAGE} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "zip failed on ${folder}")
endif()
message(STATUS "QGIS plugin for ${systems}: ${ZIP_FILE}")
