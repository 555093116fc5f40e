# The project's one version, PROJECT_VERSION of the project() line, for the code: the header
# vortan/version.h in the build folder, through the interface library vortan_version, which the
# tool, the C library, the Python module and the browser module link. The Python package's
# metadata is configured from PROJECT_VERSION too, and pip's setup.py reads the same line.
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in
               ${PROJECT_BINARY_DIR}/generated/vortan/version.h @ONLY)
add_library(vortan_version INTERFACE)
target_include_directories(vortan_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
