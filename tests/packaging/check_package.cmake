# cmake -DMODE=buildtree|install -DTAVO_BUILD_DIR=... -DCONSUMER_SOURCE=... -DWORK_DIR=... -P check_package.cmake

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "command failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
    set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

set(consumer_args -S "${CONSUMER_SOURCE}" -B "${WORK_DIR}/consumer" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}")

if(MODE STREQUAL "install")
    set(prefix "${WORK_DIR}/prefix")
    run("${CMAKE_COMMAND}" --install "${TAVO_BUILD_DIR}" --prefix "${prefix}")

    foreach(required include/tavo_kernel/tavo_kernel.h
                     include/tavo_kernel/tavo_kernel_export.h
                     include/tavo_kernel/foundation/app_shared.h)
        if(NOT EXISTS "${prefix}/${required}")
            message(FATAL_ERROR "not installed: ${required}")
        endif()
    endforeach()

    file(GLOB_RECURSE pc_files "${prefix}/*/tavo_kernel.pc")
    list(LENGTH pc_files pc_count)
    if(NOT pc_count EQUAL 1)
        message(FATAL_ERROR "expected one tavo_kernel.pc below ${prefix}, found: ${pc_files}")
    endif()
    get_filename_component(pc_dir "${pc_files}" DIRECTORY)
    find_program(PKG_CONFIG pkg-config REQUIRED)
    set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
    run("${PKG_CONFIG}" --cflags --libs tavo_kernel)
    file(REAL_PATH "${prefix}/include/tavo_kernel" expected_include)
    string(FIND "${run_output}" "-ltavo_kernel" has_lib)
    if(has_lib EQUAL -1)
        message(FATAL_ERROR "pkg-config gives no -ltavo_kernel: ${run_output}")
    endif()
    string(REGEX MATCH "-I([^ \n]*tavo_kernel)" include_flag "${run_output}")
    file(REAL_PATH "${CMAKE_MATCH_1}" pc_include)
    if(NOT pc_include STREQUAL expected_include)
        message(FATAL_ERROR "pkg-config include '${pc_include}' is not '${expected_include}'")
    endif()

    list(APPEND consumer_args "-DCMAKE_PREFIX_PATH=${prefix}")
else()
    list(APPEND consumer_args "-DTavoKernel_DIR=${TAVO_BUILD_DIR}")
endif()

run("${CMAKE_COMMAND}" ${consumer_args})
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer")
run("${WORK_DIR}/consumer/tavo_consumer")
if(NOT run_output MATCHES "EMERG #400000")
    message(FATAL_ERROR "consumer printed: ${run_output}")
endif()
message(STATUS "consumer (${MODE}) works: ${run_output}")
