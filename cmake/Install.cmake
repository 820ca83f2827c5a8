# Installation beyond the library and headers (installed with their targets in src/): the
# pkg-config file, the CMake package, and documentation.
# Both package files locate the prefix from where they are installed, so
# `cmake --install <build> --prefix <anywhere>` gives a working tree.
include(CMakePackageConfigHelpers)

set(TAVLIN_LIBRARY_FILE
    ${CMAKE_SHARED_LIBRARY_PREFIX}TavlinSdk_410QZ_VKE${CMAKE_SHARED_LIBRARY_SUFFIX})
set(TAVLIN_SONAME_FILE ${TAVLIN_LIBRARY_FILE}.${PROJECT_VERSION_MAJOR})
set(TAVLIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/TavlinSdk)
set(TAVLIN_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Paths from each package file's folder back to the prefix ("../.." or "../../.." with a
# multiarch library folder).
file(RELATIVE_PATH TAVLIN_PC_TO_PREFIX /prefix/${TAVLIN_PKGCONFIG_DIR} /prefix)
file(RELATIVE_PATH TAVLIN_CONFIG_TO_PREFIX /prefix/${TAVLIN_CMAKE_DIR} /prefix)
string(REGEX REPLACE "/$" "" TAVLIN_PC_TO_PREFIX "${TAVLIN_PC_TO_PREFIX}")
string(REGEX REPLACE "/$" "" TAVLIN_CONFIG_TO_PREFIX "${TAVLIN_CONFIG_TO_PREFIX}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/tavlin-sdk.pc.in
               ${PROJECT_BINARY_DIR}/package/tavlin-sdk.pc @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/TavlinSdkConfig.cmake.in
               ${PROJECT_BINARY_DIR}/package/TavlinSdkConfig.cmake @ONLY)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/TavlinSdkConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)

install(FILES ${PROJECT_BINARY_DIR}/package/tavlin-sdk.pc DESTINATION ${TAVLIN_PKGCONFIG_DIR})
install(FILES ${PROJECT_BINARY_DIR}/package/TavlinSdkConfig.cmake
              ${PROJECT_BINARY_DIR}/package/TavlinSdkConfigVersion.cmake
        DESTINATION ${TAVLIN_CMAKE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}
        FILES_MATCHING PATTERN "*.md")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/minimal ${PROJECT_SOURCE_DIR}/examples/gstreamer
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples USE_SOURCE_PERMISSIONS)

# The installed tools' run paths and manual pages are set in tools/.

# The Python package, where Debian's python3 looks for packages of the prefix; it finds the
# library of the same prefix.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/tavlin DESTINATION lib/python3/dist-packages
        PATTERN __pycache__ EXCLUDE)
# tavlin.__version__ reads it, as in the wheel (python/setup.py writes it there).
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/python/VERSION CONTENT "${PROJECT_VERSION}\n")
install(FILES ${PROJECT_BINARY_DIR}/python/VERSION DESTINATION lib/python3/dist-packages/tavlin)
