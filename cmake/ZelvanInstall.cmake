# Install tree, CMake package, pkg-config file and Debian packages.
include(CMakePackageConfigHelpers)

set(ZELVAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/zelvan)
set(ZELVAN_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS zelvan EXPORT zelvanTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
install(FILES include/zelvan/zelvan.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zelvan COMPONENT dev)
install(EXPORT zelvanTargets NAMESPACE zelvan:: DESTINATION ${ZELVAN_CMAKE_DIR} COMPONENT dev)

configure_package_config_file(cmake/zelvanConfig.cmake.in ${PROJECT_BINARY_DIR}/zelvanConfig.cmake
  INSTALL_DESTINATION ${ZELVAN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zelvanConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zelvanConfig.cmake ${PROJECT_BINARY_DIR}/zelvanConfigVersion.cmake
  DESTINATION ${ZELVAN_CMAKE_DIR} COMPONENT dev)

# The prefix is found relative to the .pc file, so the tree can move.
file(RELATIVE_PATH ZELVAN_PC_PREFIX_FROM_PCDIR /prefix/${ZELVAN_PC_DIR} /prefix)
string(REGEX REPLACE "/$" "" ZELVAN_PC_PREFIX_FROM_PCDIR "${ZELVAN_PC_PREFIX_FROM_PCDIR}")
configure_file(cmake/zelvan.pc.in ${PROJECT_BINARY_DIR}/zelvan.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zelvan.pc DESTINATION ${ZELVAN_PC_DIR} COMPONENT dev)

# Debian packages: libzelvan1 (runtime, named for its SONAME) and
# libzelvan-dev. The runtime depends on libgomp1 and on no BLAS.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(ZELVAN_DEB_ARCH arm64)
else()
  set(ZELVAN_DEB_ARCH amd64)
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvan)
set(CPACK_PACKAGE_VENDOR zelvan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "zelvan developers <dev@zelvan.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Numeric operator kernels for a host ML framework")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ZELVAN_DEB_ARCH})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libzelvan1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1, libstdc++6 (>= 12), libgomp1 (>= 12)")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEV_PACKAGE_NAME libzelvan-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libzelvan1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "zelvan runtime library\n libzelvan.so.1: comparisons, FloorMod, Select, Matmul through the host's CBLAS, and Find.")
set(CPACK_COMPONENT_DEV_DESCRIPTION "zelvan development files\n Header, development link, CMake package and pkg-config file.")
include(CPack)
