# cmake -DARCHIVE=libicudata.a -DICUPKG=icupkg -DNAME=icudt72l -DSYMBOL=icudt72_dat -DITEMS=a;b
#       -DWORK=dir -DOUTPUT=file.cpp -P embed_icu_data.cmake
#
# Takes ICU's data package out of its static archive, keeps only the named items, and writes a
# C++ file defining ICU's data entry point with that smaller package, so that the program carries
# the data it uses instead of all of ICU's.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/items)
execute_process(COMMAND ${CMAKE_AR} x ${ARCHIVE} WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
file(GLOB objects ${WORK}/*.o)
list(LENGTH objects count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "${ARCHIVE} should hold one data object, not ${count}")
endif()
execute_process(COMMAND ${CMAKE_OBJCOPY} -O binary --only-section=.rodata ${objects} ${WORK}/${NAME}.dat
  COMMAND_ERROR_IS_FATAL ANY)
set(list_file ${WORK}/items.txt)
file(WRITE ${list_file} "")
foreach(item ${ITEMS})
  execute_process(COMMAND ${ICUPKG} -x ${item} -d ${WORK}/items ${WORK}/${NAME}.dat COMMAND_ERROR_IS_FATAL ANY)
  file(APPEND ${list_file} "${item}\n")
endforeach()
file(MAKE_DIRECTORY ${WORK}/small)
execute_process(COMMAND ${ICUPKG} -s ${WORK}/items -a ${list_file} new ${WORK}/small/${NAME}.dat
  COMMAND_ERROR_IS_FATAL ANY)

file(READ ${WORK}/small/${NAME}.dat hex HEX)
string(LENGTH "${hex}" length)
math(EXPR bytes "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){24})" "\\1\n" body "${body}")
file(WRITE ${OUTPUT}.tmp "// Generated at build time from ${ARCHIVE}: ICU's data package with ${ITEMS} only.
extern \"C\" {
alignas(16) extern const unsigned char ${SYMBOL}[${bytes}];
alignas(16) const unsigned char ${SYMBOL}[${bytes}] = {
${body}
};
}
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
file(REMOVE_RECURSE ${WORK})
