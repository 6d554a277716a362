# Run by CTest before the tests (see tests/CMakeLists.txt): adds one test per folder of black-box
# cases, blackbox/<folder> for each folder of CASES_DIR and blackbox/docs_examples for
# EXAMPLES_DIR. Each runs every case below its folder found at that moment, so a new case needs no
# rebuild, and GoogleTest names each failing case in the output.
#
# Inputs: BLACKBOX_BINARY, CASES_DIR, EXAMPLES_DIR.
if(NOT EXISTS "${BLACKBOX_BINARY}")
  add_test(blackbox_NOT_BUILT "${BLACKBOX_BINARY}")
  return()
endif()
function(add_case_group name folder)
  add_test("${name}" "${BLACKBOX_BINARY}")
  set_tests_properties("${name}" PROPERTIES ENVIRONMENT "QELD_CASES=${folder}")
endfunction()
file(GLOB folders LIST_DIRECTORIES true "${CASES_DIR}/*")
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY "${folder}")
    get_filename_component(name "${folder}" NAME)
    add_case_group("blackbox/${name}" "${folder}")
  endif()
endforeach()
add_case_group(blackbox/docs_examples "${EXAMPLES_DIR}")
