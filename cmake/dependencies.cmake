# Third-party libraries, each as one target that the layer using it links privately.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET icu-uc)

# A validation of a small file is over in about a millisecond, so binding the symbols of shared
# C++ libraries at start-up would cost more than the work itself: qeld takes ICU's common library
# with its data and the C++ runtime as static archives. libc and libm stay shared.
add_library(qeld_icu INTERFACE)
if(QELD_LINK_STATIC)
  find_library(ICU_UC_ARCHIVE NAMES libicuuc.a REQUIRED)
  find_library(ICU_DATA_ARCHIVE NAMES libicudata.a REQUIRED)
  find_package(Threads REQUIRED)
  target_include_directories(qeld_icu SYSTEM INTERFACE ${ICU_UC_INCLUDE_DIRS})
  target_compile_options(qeld_icu INTERFACE ${ICU_UC_CFLAGS_OTHER})
  target_link_libraries(qeld_icu INTERFACE ${ICU_UC_ARCHIVE} ${ICU_DATA_ARCHIVE} ${CMAKE_DL_LIBS} Threads::Threads)
else()
  target_link_libraries(qeld_icu INTERFACE PkgConfig::ICU_UC)
endif()

if(QELD_TESTS OR QELD_BENCH)
  # RE2 serves only the tests and the benchmark, as a second opinion on the pattern engine and
  # the speed to compare it with.
  pkg_check_modules(RE2 REQUIRED IMPORTED_TARGET re2)
  add_library(qeld_re2 INTERFACE)
  target_link_libraries(qeld_re2 INTERFACE PkgConfig::RE2)
endif()
