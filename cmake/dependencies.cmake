# Third-party libraries, each as one target that the layer using it links privately.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RE2 REQUIRED IMPORTED_TARGET re2)
pkg_check_modules(URIPARSER REQUIRED IMPORTED_TARGET liburiparser)
pkg_check_modules(IDN2 REQUIRED IMPORTED_TARGET libidn2)

# A validation of a small file is over in about a millisecond, so binding the symbols of shared
# C++ libraries at start-up would cost more than the work itself: qeld takes RE2, libidn2 (with
# libunistring) and the C++ runtime as static archives. uriparser has no static archive on Debian;
# it is a small C library and stays shared, as do libc and libm.
add_library(qeld_re2 INTERFACE)
add_library(qeld_idn2 INTERFACE)
if(QELD_LINK_STATIC)
  find_library(RE2_ARCHIVE NAMES libre2.a REQUIRED)
  find_library(IDN2_ARCHIVE NAMES libidn2.a REQUIRED)
  find_library(UNISTRING_ARCHIVE NAMES libunistring.a REQUIRED)
  find_package(Threads REQUIRED)
  target_include_directories(qeld_re2 SYSTEM INTERFACE ${RE2_INCLUDE_DIRS})
  target_compile_options(qeld_re2 INTERFACE ${RE2_CFLAGS_OTHER})
  target_link_libraries(qeld_re2 INTERFACE ${RE2_ARCHIVE} Threads::Threads)
  target_include_directories(qeld_idn2 SYSTEM INTERFACE ${IDN2_INCLUDE_DIRS})
  target_link_libraries(qeld_idn2 INTERFACE ${IDN2_ARCHIVE} ${UNISTRING_ARCHIVE})
else()
  target_link_libraries(qeld_re2 INTERFACE PkgConfig::RE2)
  target_link_libraries(qeld_idn2 INTERFACE PkgConfig::IDN2)
endif()
