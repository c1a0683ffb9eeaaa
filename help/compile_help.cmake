# Compiles the user guide into a .chm. Run with cmake -P and these variables:
#   SOURCE_DIR  folder of the UTF-8 sources (quillmere_help.hhp, toc.hhc, *.html)
#   STAGING_DIR scratch folder, emptied first
#   PICTURE     the main window's picture
#   OUTPUT      where the finished .chm goes
#   CHMCMD, ICONV  the tools
# CHM viewers read the pages and the contents in the code page of the
# document's language (936 for Simplified Chinese), so the sources are
# converted on the way in. Any failure stops the build.

file(REMOVE_RECURSE "${STAGING_DIR}")
file(MAKE_DIRECTORY "${STAGING_DIR}")

file(COPY_FILE "${PICTURE}" "${STAGING_DIR}/main-window.png")

file(GLOB sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.html" "${SOURCE_DIR}/*.hhc" "${SOURCE_DIR}/*.hhp")
foreach(source IN LISTS sources)
  file(READ "${SOURCE_DIR}/${source}" text)
  string(REPLACE "charset=utf-8" "charset=gb2312" text "${text}")
  file(WRITE "${STAGING_DIR}/${source}.utf8" "${text}")
  execute_process(
    COMMAND "${ICONV}" -f UTF-8 -t GBK -o "${STAGING_DIR}/${source}" "${STAGING_DIR}/${source}.utf8"
    COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE "${STAGING_DIR}/${source}.utf8")
endforeach()

execute_process(
  COMMAND "${CHMCMD}" quillmere_help.hhp
  WORKING_DIRECTORY "${STAGING_DIR}"
  OUTPUT_VARIABLE log
  ERROR_VARIABLE log
  RESULT_VARIABLE result)
# chmcmd reports some errors only in its log, so the missing file counts too.
if(NOT result EQUAL 0 OR NOT EXISTS "${STAGING_DIR}/quillmere_help.chm")
  message(FATAL_ERROR "chmcmd failed:\n${log}")
endif()
file(COPY_FILE "${STAGING_DIR}/quillmere_help.chm" "${OUTPUT}")
