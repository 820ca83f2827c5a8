# cmake -DBUILD_DIR=dir -DTARGET=probe -DEXPECT=PASS|FAIL -P check_probe.cmake
# Builds one layer probe; a FAIL probe must fail for a missing header, not for another reason.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(EXPECT STREQUAL "PASS")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${TARGET} should compile:\n${output}")
    endif()
elseif(result EQUAL 0)
    message(FATAL_ERROR "${TARGET} compiled, but its include must not be visible to its layer")
elseif(NOT output MATCHES "No such file or directory")
    message(FATAL_ERROR "${TARGET} failed for another reason than a hidden header:\n${output}")
endif()
