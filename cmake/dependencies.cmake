# Third-party libraries, each as one target that the layer using it links privately.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET icu-uc)

# A validation of a small file is over in about a millisecond, so binding the symbols of shared
# C++ libraries at start-up would cost more than the work itself: qeld takes ICU's common library
# and the C++ runtime as static archives. libc and libm stay shared. Of ICU's 31 MB of data the
# program needs only the UTS #46 mapping of host names, so it carries a package of that alone,
# made at build time from ICU's own archive.
add_library(qeld_icu INTERFACE)
if(QELD_LINK_STATIC)
  find_library(ICU_UC_ARCHIVE NAMES libicuuc.a REQUIRED)
  find_library(ICU_DATA_ARCHIVE NAMES libicudata.a REQUIRED)
  find_program(ICUPKG NAMES icupkg PATHS /usr/sbin REQUIRED)
  find_package(Threads REQUIRED)
  string(REGEX MATCH "^[0-9]+" ICU_MAJOR "${ICU_UC_VERSION}")
  set(icu_data_source ${PROJECT_BINARY_DIR}/generated/icu_data.cpp)
  add_custom_command(
    OUTPUT ${icu_data_source}
    COMMAND ${CMAKE_COMMAND} -DCMAKE_AR=${CMAKE_AR} -DCMAKE_OBJCOPY=${CMAKE_OBJCOPY}
      -DARCHIVE=${ICU_DATA_ARCHIVE} -DICUPKG=${ICUPKG} -DNAME=icudt${ICU_MAJOR}l
      -DSYMBOL=icudt${ICU_MAJOR}_dat -DITEMS=uts46.nrm -DWORK=${PROJECT_BINARY_DIR}/generated/icu_data
      -DOUTPUT=${icu_data_source} -P ${PROJECT_SOURCE_DIR}/cmake/embed_icu_data.cmake
    DEPENDS ${ICU_DATA_ARCHIVE} ${PROJECT_SOURCE_DIR}/cmake/embed_icu_data.cmake
    COMMENT "Packing the ICU data the program uses"
    VERBATIM)
  add_library(qeld_icu_data STATIC ${icu_data_source})
  target_include_directories(qeld_icu SYSTEM INTERFACE ${ICU_UC_INCLUDE_DIRS})
  target_compile_options(qeld_icu INTERFACE ${ICU_UC_CFLAGS_OTHER})
  target_link_libraries(qeld_icu INTERFACE ${ICU_UC_ARCHIVE} qeld_icu_data ${CMAKE_DL_LIBS} Threads::Threads)
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
