# The download for Windows users, made by the Windows build (scripts/build-windows):
#   vortan-transform-VERSION-windows-x64.zip
#     vortan-transform-VERSION-windows-x64/
#       vortan-transform.exe          statically linked, stripped
#       VORTAN_*_V1-0.exe             the four programs (Win32), statically linked, stripped
#       README.txt                    Greek and English (cmake/windows/README.txt.in)
#       example-grids-TEST-DATA/      the synthetic grids of this build and a README saying so
#       samples/                      data/sample's two files (CR LF lines) and the Windows steps
#                                     to convert them (cmake/windows/SAMPLES-README.txt.in)
#       c-library/                    vortan.dll, its import library vortan.lib, vortan.def
#                                     and include/vortan/vortan.h
#       browser-page/                 the browser page: the folder of its package,
#                                     build-web/vortan-transform-page-VERSION.zip
#                                     (scripts/build-web, run first by scripts/build-windows)
# The texts are written for Notepad: CR LF line ends and a UTF-8 byte-order mark.
find_program(VORTAN_ZIP zip REQUIRED)

set(zip_name vortan-transform-${PROJECT_VERSION}-windows-x64)
set(zip_stage ${PROJECT_BINARY_DIR}/zip)
set(zip_folder ${zip_stage}/${zip_name})
set(zip_file ${PROJECT_BINARY_DIR}/${zip_name}.zip)
set(zip_texts ${PROJECT_BINARY_DIR}/zip-texts)

string(ASCII 239 187 191 BOM)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/README.txt.in ${zip_texts}/README.txt
               @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/TEST-DATA-README.txt.in
               ${zip_texts}/TEST-DATA-README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/SAMPLES-README.txt.in
               ${zip_texts}/samples-README.txt @ONLY NEWLINE_STYLE CRLF)

set(VORTAN_WEB_PAGE_ZIP
    ${PROJECT_SOURCE_DIR}/build-web/vortan-transform-page-${PROJECT_VERSION}.zip
    CACHE FILEPATH "The browser page's package that the Windows zip takes (scripts/build-web)")
set(page_unzipped ${PROJECT_BINARY_DIR}/zip-page)

set(grids ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/dN_2km_V1-0.grd
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/dE_2km_V1-0.grd)
set(samples ${PROJECT_SOURCE_DIR}/data/sample/GGRS87-SFLh.txt
            ${PROJECT_SOURCE_DIR}/data/sample/HTRS07-SFLh.txt)
# The four programs, those this build makes.
set(zip_programs)
foreach(program VORTAN_TRANSFORM_Single-Point_V1-0 VORTAN_TRANSFORM_Data-Files_V1-0
                VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0
                VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0)
  if(TARGET ${program})
    list(APPEND zip_programs ${program})
  endif()
endforeach()
set(zip_program_commands)
foreach(program ${zip_programs})
  list(APPEND zip_program_commands
       COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${program}> ${zip_folder}/
       COMMAND ${CMAKE_STRIP} --strip-all ${zip_folder}/${program}.exe)
endforeach()

add_custom_command(OUTPUT ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_stage} ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_folder}/example-grids-TEST-DATA
                                             ${zip_folder}/samples
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vortan-transform> ${zip_folder}/
  COMMAND ${CMAKE_STRIP} --strip-all ${zip_folder}/vortan-transform.exe
  ${zip_program_commands}
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_texts}/README.txt ${zip_folder}/
  COMMAND ${CMAKE_COMMAND} -E copy ${grids} ${zip_folder}/example-grids-TEST-DATA/
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_texts}/TEST-DATA-README.txt
                                   ${zip_folder}/example-grids-TEST-DATA/README.txt
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_folder}/c-library/include/vortan
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vortan> $<TARGET_LINKER_FILE:vortan>
                                   ${PROJECT_BINARY_DIR}/bin/vortan.def ${zip_folder}/c-library/
  COMMAND ${CMAKE_STRIP} --strip-unneeded ${zip_folder}/c-library/vortan.dll
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/include/vortan/vortan.h
                                   ${zip_folder}/c-library/include/vortan/
  COMMAND ${CMAKE_COMMAND} -E copy ${samples} ${zip_folder}/samples/
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_texts}/samples-README.txt
                                   ${zip_folder}/samples/README.txt
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${page_unzipped}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${page_unzipped}
  COMMAND ${CMAKE_COMMAND} -E chdir ${page_unzipped} ${CMAKE_COMMAND} -E tar xf ${VORTAN_WEB_PAGE_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rename ${page_unzipped}/vortan-transform-page-${PROJECT_VERSION}
                                     ${zip_folder}/browser-page
  COMMAND ${CMAKE_COMMAND} -E chdir ${zip_stage} ${VORTAN_ZIP} -q -X -r ${zip_file} ${zip_name}
  DEPENDS vortan-transform vortan ${zip_programs} ${PROJECT_SOURCE_DIR}/include/vortan/vortan.h synthetic_grids ${grids} ${samples} ${zip_texts}/README.txt
          ${zip_texts}/TEST-DATA-README.txt ${zip_texts}/samples-README.txt ${VORTAN_WEB_PAGE_ZIP}
  COMMENT "Packing ${zip_name}.zip")
add_custom_target(windows_zip ALL DEPENDS ${zip_file})
