# Third-party libraries, each as one target that the layer using it links privately.
find_package(PkgConfig REQUIRED)
pkg_check_modules(RE2 REQUIRED IMPORTED_TARGET re2)
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET icu-uc)

# A validation of a small file is over in about a millisecond, so binding the symbols of shared
# C++ libraries at start-up would cost more than the work itself: qeld takes RE2, ICU's common
# library with its data and the C++ runtime as static archives. libc and libm stay shared.
add_library(qeld_re2 INTERFACE)
add_library(qeld_icu INTERFACE)
if(QELD_LINK_STATIC)
  find_library(RE2_ARCHIVE NAMES libre2.a REQUIRED)
  find_library(ICU_UC_ARCHIVE NAMES libicuuc.a REQUIRED)
  find_library(ICU_DATA_ARCHIVE NAMES libicudata.a REQUIRED)
  find_package(Threads REQUIRED)
  target_include_directories(qeld_re2 SYSTEM INTERFACE ${RE2_INCLUDE_DIRS})
  target_compile_options(qeld_re2 INTERFACE ${RE2_CFLAGS_OTHER})
  target_link_libraries(qeld_re2 INTERFACE ${RE2_ARCHIVE} Threads::Threads)
  target_include_directories(qeld_icu SYSTEM INTERFACE ${ICU_UC_INCLUDE_DIRS})
  target_compile_options(qeld_icu INTERFACE ${ICU_UC_CFLAGS_OTHER})
  target_link_libraries(qeld_icu INTERFACE ${ICU_UC_ARCHIVE} ${ICU_DATA_ARCHIVE} ${CMAKE_DL_LIBS} Threads::Threads)
else()
  target_link_libraries(qeld_re2 INTERFACE PkgConfig::RE2)
  target_link_libraries(qeld_icu INTERFACE PkgConfig::ICU_UC)
endif()
