# Installation and the Debian package. Included at the end of the top CMakeLists.txt, once every
# program target exists.
#
# Layout under the prefix (/usr in the package):
#   lib/vortan-transform/   the four programs with their help PDFs beside them (the help button
#                           looks in the program's own folder)
#   bin/                    links to the four programs, and vortan-transform (cli/)
#   share/applications/     one desktop entry per program
#   share/icons/hicolor/scalable/apps/vortan-transform.svg
#   share/vortan-transform/example-grids/   the synthetic grids, with a README saying so
#   share/vortan-transform/page/            the browser page, unpacked from its package
#                           (build-web/vortan-transform-page-VERSION.zip, scripts/build-web),
#                           with a desktop entry that opens its index.html in the browser

set(VORTAN_PROGRAM_FOLDER lib/vortan-transform)
set(VORTAN_EXAMPLE_GRIDS share/vortan-transform/example-grids)

# name: program, Greek and English menu names and comments
set(vortan_desktop_VORTAN_TRANSFORM_Single-Point_V1-0
    "VORTAN Transform - single point"
    "VORTAN Μετασχηματισμός - μεμονωμένα σημεία"
    "Convert one typed point between HTRS07 and GGRS87 (mainland)"
    "Μετασχηματισμός ενός σημείου μεταξύ HTRS07 και ΕΓΣΑ87 (ηπειρωτική Ελλάδα)")
set(vortan_desktop_VORTAN_TRANSFORM_Data-Files_V1-0
    "VORTAN Transform - data files"
    "VORTAN Μετασχηματισμός - αρχεία"
    "Convert coordinate files between HTRS07 and GGRS87 (mainland)"
    "Μετασχηματισμός αρχείων συντεταγμένων μεταξύ HTRS07 και ΕΓΣΑ87 (ηπειρωτική Ελλάδα)")
set(vortan_desktop_VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0
    "VORTAN Transform Kastelorizo - single point"
    "VORTAN Μετασχηματισμός Καστελόριζο - μεμονωμένα σημεία"
    "Convert one typed point between HTRS07 and GGRS87 (Kastelorizo only)"
    "Μετασχηματισμός ενός σημείου μεταξύ HTRS07 και ΕΓΣΑ87 (μόνο Καστελόριζο)")
set(vortan_desktop_VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0
    "VORTAN Transform Kastelorizo - data files"
    "VORTAN Μετασχηματισμός Καστελόριζο - αρχεία"
    "Convert coordinate files between HTRS07 and GGRS87 (Kastelorizo only)"
    "Μετασχηματισμός αρχείων συντεταγμένων μεταξύ HTRS07 και ΕΓΣΑ87 (μόνο Καστελόριζο)")

foreach(program VORTAN_TRANSFORM_Single-Point_V1-0 VORTAN_TRANSFORM_Data-Files_V1-0
                VORTAN_KASTELORIZO_TRANSFORM_Single-Point_V1-0
                VORTAN_KASTELORIZO_TRANSFORM_Data-Files_V1-0)
  if(NOT TARGET ${program})
    continue()
  endif()
  install(TARGETS ${program} RUNTIME DESTINATION ${VORTAN_PROGRAM_FOLDER})
  if(TARGET help_manuals)
    install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${program}_HELP.pdf
            DESTINATION ${VORTAN_PROGRAM_FOLDER})
  endif()
  # A relative link, so that the tree can be moved (DESTDIR, the package's staging folder).
  install(CODE "
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(MAKE_DIRECTORY \"\${bin}\")
    file(REMOVE \"\${bin}/${program}\")
    file(CREATE_LINK \"../${VORTAN_PROGRAM_FOLDER}/${program}\" \"\${bin}/${program}\" SYMBOLIC)
    message(STATUS \"Link: \${bin}/${program}\")")

  list(GET vortan_desktop_${program} 0 DESKTOP_NAME)
  list(GET vortan_desktop_${program} 1 DESKTOP_NAME_EL)
  list(GET vortan_desktop_${program} 2 DESKTOP_COMMENT)
  list(GET vortan_desktop_${program} 3 DESKTOP_COMMENT_EL)
  set(PROGRAM ${program})
  string(TOLOWER ${program} desktop_id)
  set(desktop ${PROJECT_BINARY_DIR}/desktop/${desktop_id}.desktop)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/vortan-transform.desktop.in ${desktop} @ONLY)
  install(FILES ${desktop} DESTINATION share/applications)
endforeach()

install(FILES ${CMAKE_CURRENT_LIST_DIR}/vortan-transform.svg
        DESTINATION share/icons/hicolor/scalable/apps)

if(TARGET synthetic_grids)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/dN_2km_V1-0.grd
                ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/dE_2km_V1-0.grd
          DESTINATION ${VORTAN_EXAMPLE_GRIDS})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/example-grids-README.txt
          DESTINATION ${VORTAN_EXAMPLE_GRIDS} RENAME README.txt)
endif()

# The browser page: the folder of its package, which the browser build makes (scripts/build-web,
# before cpack); without it the installation says so and goes on without the page. The desktop
# entry is written at installation time, when the prefix the page goes under is known.
set(VORTAN_WEB_PAGE_ZIP
    ${PROJECT_SOURCE_DIR}/build-web/vortan-transform-page-${PROJECT_VERSION}.zip
    CACHE FILEPATH "The browser page's package that the installation takes (scripts/build-web)")
set(VORTAN_PAGE_FOLDER share/vortan-transform/page)
install(CODE "
  set(zip \"${VORTAN_WEB_PAGE_ZIP}\")
  set(prefix \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  if(NOT EXISTS \"\${zip}\")
    message(WARNING \"The browser page is left out: \${zip} is missing (scripts/build-web makes it)\")
  else()
    set(unpacked \"${PROJECT_BINARY_DIR}/page-unpacked\")
    file(REMOVE_RECURSE \"\${unpacked}\")
    file(ARCHIVE_EXTRACT INPUT \"\${zip}\" DESTINATION \"\${unpacked}\")
    file(GLOB page_files \"\${unpacked}/vortan-transform-page-${PROJECT_VERSION}/*\")
    file(INSTALL DESTINATION \"\${prefix}/${VORTAN_PAGE_FOLDER}\" TYPE FILE FILES \${page_files})
    file(WRITE \"\${unpacked}/vortan-transform-page.desktop\" \"[Desktop Entry]
Type=Application
Version=1.0
Name=VORTAN Transform - browser page
Name[el]=VORTAN Μετασχηματισμός - σελίδα στον φυλλομετρητή
Comment=Convert points and coordinate files between HTRS07 and GGRS87 in a web browser, offline
Comment[el]=Μετασχηματισμός σημείων και αρχείων μεταξύ HTRS07 και ΕΓΣΑ87 στον φυλλομετρητή, χωρίς διαδίκτυο
Exec=xdg-open \${CMAKE_INSTALL_PREFIX}/${VORTAN_PAGE_FOLDER}/index.html
Icon=vortan-transform
Terminal=false
Categories=Science;Geoscience;
Keywords=HTRS07;GGRS87;ΕΓΣΑ87;TM07;TM87;geodesy;survey;coordinates;browser;
\")
    file(INSTALL DESTINATION \"\${prefix}/share/applications\" TYPE FILE
         FILES \"\${unpacked}/vortan-transform-page.desktop\")
  endif()" COMPONENT page)

# The Python package vortan (python/): the module and the package's files into the dist-packages
# folder of the interpreter it was built for, the Dask example beside the example grids.
if(TARGET vortan_python)
  install(TARGETS vortan_python LIBRARY DESTINATION ${VORTAN_PYTHON_INSTALL_DIR}/vortan)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/vortan/ DESTINATION ${VORTAN_PYTHON_INSTALL_DIR}/vortan
          FILES_MATCHING PATTERN "*.py" PATTERN "*.pyi" PATTERN "py.typed")
  install(DIRECTORY ${VORTAN_PYTHON_DIST_INFO} DESTINATION ${VORTAN_PYTHON_INSTALL_DIR})
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/python/examples/dask_convert.py
          DESTINATION share/vortan-transform/examples)
endif()

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vortan-transform)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VORTAN Transform")
set(CPACK_PACKAGE_CONTACT "VORTAN Transform maintainers <maintainers@vortan-transform.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Coordinate transformation between HTRS07 and GGRS87 (ΕΓΣΑ87) for Greece")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Four desktop programs (single point and data files, for the mainland and for
Kastelorizo) and the command-line tool vortan-transform convert points between
geodetic, Cartesian and TM07/TM87 projected coordinates and transform them
between HTRS07 and GGRS87 with the seven-parameter Helmert transformation,
completed on the mainland by the 2 km correction grids. The same conversions
run in a web browser, offline, from /usr/share/vortan-transform/page/index.html.

The grids in /usr/share/vortan-transform/example-grids are synthetic test
data, not the official corrections; real work needs the official grid files.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help button hands the PDF to the desktop's viewer. The Python package needs the
# interpreter it was built for and numpy; Dask, distributed and GeoPandas only where used.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
if(TARGET vortan_python)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
      "${CPACK_DEBIAN_PACKAGE_RECOMMENDS}, python3 (>= ${VORTAN_PYTHON_VERSION}), python3 (<< ${VORTAN_PYTHON_NEXT_VERSION}), python3-numpy")
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-dask, python3-distributed, python3-geopandas")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
