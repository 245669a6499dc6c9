# What users get: a fresh install into a prefix in the build folder, another
# project built against it (run under the emulator when cross-building), the
# manual page and the package. The consumer is built without our build's
# instrumentation, so the sanitizer build leaves these to the others.
if(VORKSTAT_SANITIZE OR VORKSTAT_FUZZ OR VORKSTAT_TSAN)
  return()
endif()
set(check ${PROJECT_SOURCE_DIR}/scripts/check_install.sh)
set(prefix ${PROJECT_BINARY_DIR}/install-test)
if(WIN32)
  set(system windows)
else()
  set(system linux)
endif()

add_test(NAME install_tree COMMAND bash ${check} install ${PROJECT_BINARY_DIR} ${prefix} ${system})
set_tests_properties(install_tree PROPERTIES FIXTURES_SETUP installed)

add_test(NAME consumer_cmake COMMAND bash ${check} consumer ${PROJECT_BINARY_DIR} ${prefix} cmake
                                     "${CMAKE_TOOLCHAIN_FILE}" "${CMAKE_CROSSCOMPILING_EMULATOR}")
set_tests_properties(consumer_cmake PROPERTIES FIXTURES_REQUIRED installed TIMEOUT 300)

if(WIN32)
  add_test(NAME package_zip COMMAND bash ${check} zip ${PROJECT_BINARY_DIR})
else()
  add_test(NAME consumer_pkg_config COMMAND bash ${check} consumer ${PROJECT_BINARY_DIR} ${prefix} pkg-config)
  set_tests_properties(consumer_pkg_config PROPERTIES FIXTURES_REQUIRED installed TIMEOUT 300)
  add_test(NAME man_page_lint COMMAND bash ${check} man ${PROJECT_BINARY_DIR})
  add_test(NAME package_deb COMMAND bash ${check} deb ${PROJECT_BINARY_DIR})
endif()
