# Third-party libraries, each as one target that the layer using it links privately.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ICU_UC REQUIRED IMPORTED_TARGET icu-uc)

# A validation of a small file is over in about a millisecond, so loading, relocating and binding
# shared libraries at start-up would cost more than the work itself: where the static archives
# exist, qeld links fully statically (ICU, the C++ runtime and the C library). Of ICU's 31 MB of
# data it then carries only the UTS #46 mapping of host names, packed at build time from ICU's own
# archive. Otherwise ICU and the runtimes are linked shared, as sanitizer and fuzz builds always are.
set(QELD_LINK_STATIC OFF)
if(NOT QELD_STATIC_DEPS)
  set(static_missing "QELD_STATIC_DEPS is OFF")
elseif(QELD_SANITIZE OR QELD_FUZZ)
  set(static_missing "sanitizer and fuzz builds link shared")
elseif(QELD_PRETEND_NO_STATIC_ICU)
  set(static_missing "QELD_PRETEND_NO_STATIC_ICU hides libicuuc.a, libicudata.a and icupkg")
else()
  find_library(ICU_UC_ARCHIVE NAMES libicuuc.a)
  find_library(ICU_DATA_ARCHIVE NAMES libicudata.a)
  find_program(ICUPKG NAMES icupkg PATHS /usr/sbin)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles("#include <string>
    int main(int argc, char**) { return static_cast<int>(std::to_string(argc).size()); }" QELD_STATIC_RUNTIME)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  set(static_missing "")
  foreach(needed ICU_UC_ARCHIVE ICU_DATA_ARCHIVE ICUPKG QELD_STATIC_RUNTIME)
    if(NOT ${needed})
      list(APPEND static_missing ${needed})
    endif()
  endforeach()
  if(static_missing)
    list(JOIN static_missing ", " static_missing)
    set(static_missing "not found: ${static_missing}")
  else()
    set(QELD_LINK_STATIC ON)
  endif()
endif()

add_library(qeld_icu INTERFACE)
if(QELD_LINK_STATIC)
  message(STATUS "qeld links statically: ICU with only its UTS #46 data, the C and C++ runtimes")
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
  message(STATUS "qeld links ICU and the C and C++ runtimes shared (${static_missing})")
  target_link_libraries(qeld_icu INTERFACE PkgConfig::ICU_UC)
endif()

if(QELD_TESTS OR QELD_BENCH)
  # RE2 serves only the tests and the benchmark, as a second opinion on the pattern engine and
  # the speed to compare it with.
  pkg_check_modules(RE2 REQUIRED IMPORTED_TARGET re2)
  add_library(qeld_re2 INTERFACE)
  target_link_libraries(qeld_re2 INTERFACE PkgConfig::RE2)
endif()
