# Install rules and packages. The command goes to bin/ (the top of the zip
# on Windows), the library with its public headers, CMake package files and
# pkg-config file to lib/ and include/filelib/.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(filelib PROPERTIES EXPORT_NAME filelib)
target_include_directories(filelib PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_compile_features(filelib PUBLIC cxx_std_17)

if(WIN32)
  set(VORKSTAT_BIN_DESTINATION .)
else()
  set(VORKSTAT_BIN_DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS vorkstat RUNTIME DESTINATION ${VORKSTAT_BIN_DESTINATION} COMPONENT Runtime)

install(TARGETS filelib EXPORT filelibTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
# Every header of filelib/ is the library's interface, installed at the path
# the sources include it by (include/filelib/<folder>/<name>.h).
file(GLOB_RECURSE FILELIB_HEADERS CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/filelib/*.h)
# The backends' private headers (system headers, backend helpers) are not
# part of the interface: a caller could not even compile some of them.
list(FILTER FILELIB_HEADERS EXCLUDE REGEX "filelib/platform/(posix_[^/]*|backend)\\.h$")
foreach(header ${FILELIB_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder} COMPONENT Development)
endforeach()
set(FILELIB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/filelib)
install(EXPORT filelibTargets NAMESPACE filelib:: DESTINATION ${FILELIB_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/filelibConfig.cmake.in
  ${PROJECT_BINARY_DIR}/filelibConfig.cmake INSTALL_DESTINATION ${FILELIB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/filelibConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/filelibConfig.cmake ${PROJECT_BINARY_DIR}/filelibConfigVersion.cmake
        DESTINATION ${FILELIB_CMAKE_DIR} COMPONENT Development)

set(FILELIB_PC_SYSTEM_LIBS "")
if(WIN32)
  set(FILELIB_PC_SYSTEM_LIBS " -lmpr")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/filelib.pc.in ${PROJECT_BINARY_DIR}/filelib.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/filelib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

if(WIN32)
  # Windows users read the README in Notepad: Windows line endings.
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(REPLACE "\r\n" "\n" readme "${readme}")
  string(REPLACE "\n" "\r\n" readme "${readme}")
  file(WRITE ${PROJECT_BINARY_DIR}/README.txt "${readme}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION . COMPONENT Runtime)
else()
  # The page carries the package version; installed compressed, as man expects.
  configure_file(${PROJECT_SOURCE_DIR}/doc/vorkstat.1.in ${PROJECT_BINARY_DIR}/vorkstat.1 @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/vorkstat.1.gz
                     COMMAND gzip -9nkf vorkstat.1
                     DEPENDS ${PROJECT_BINARY_DIR}/vorkstat.1 WORKING_DIRECTORY ${PROJECT_BINARY_DIR} VERBATIM)
  add_custom_target(man_page ALL DEPENDS ${PROJECT_BINARY_DIR}/vorkstat.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/vorkstat.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT Runtime)
endif()

# Packages: `cpack` in the build folder makes a .deb on Linux and, in the
# Windows cross-build, a zip with the command and its README only.
set(CPACK_PACKAGE_NAME vorkstat)
set(CPACK_PACKAGE_VENDOR "vorkstat-Entwicklerteam")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "report how much storage a directory tree occupies")
set(CPACK_PACKAGE_DESCRIPTION "vorkstat adds up the lengths of all files in a folder and in all its
subfolders, prints one German report line and returns the size, or a 0/1
verdict against a limit, as its exit status. The package also holds
filelib, the static file-utility library it is built on, with its headers,
CMake package files and pkg-config file.")
set(VORKSTAT_MAINTAINER "vorkstat-Entwicklerteam" CACHE STRING "The packages' maintainer, \"Name <address>\"")
set(CPACK_PACKAGE_CONTACT "${VORKSTAT_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME vorkstat-${PROJECT_VERSION}-win64)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL Runtime)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # dpkg-shlibdeps names the runtimes the command links: libc6, libgcc-s1, libstdc++6.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
