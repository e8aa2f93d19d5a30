# Fails when a translatable text of the library has no Russian translation:
# lupdate is run over the sources into a copy of the translation file, and
# any message it leaves unfinished (new or changed texts) stops the build.
#   cmake -DLUPDATE=... -DSOURCE_DIR=<folders, ;-separated> -DTS=<ts file> -DWORK=<copy> -P check_translations.cmake
configure_file("${TS}" "${WORK}" COPYONLY)
execute_process(
    COMMAND "${LUPDATE}" -silent -no-obsolete -locations none ${SOURCE_DIR} -ts "${WORK}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed on ${SOURCE_DIR}")
endif()
file(READ "${WORK}" content)
string(REGEX MATCHALL "<source>[^<]*</source>[^<]*<translation type=\"unfinished\"" missing "${content}")
list(LENGTH missing count)
if(count GREATER 0)
    string(REPLACE "<translation type=\"unfinished\"" "" missing "${missing}")
    string(REPLACE ";" "\n" missing "${missing}")
    message(FATAL_ERROR "${count} translatable texts have no Russian translation in ${TS}; "
        "run 'lupdate kernel -ts ${TS}' and translate:\n${missing}")
endif()
