# The device layer knows no transport: its sources include nothing from a transport's folder, and
# its library links none. Checked on every build, so a stray include fails at once.
set(tavlin_device_forbidden vcam usb transport)

get_target_property(device_links tavlin_device LINK_LIBRARIES)
foreach(lib IN LISTS device_links)
    foreach(forbidden IN LISTS tavlin_device_forbidden)
        if(lib STREQUAL "tavlin_${forbidden}")
            message(FATAL_ERROR "the device layer must not link tavlin_${forbidden}")
        endif()
    endforeach()
endforeach()

file(GLOB device_layer_files CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/device/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/device/*.h)
set(device_rules_stamp ${CMAKE_CURRENT_BINARY_DIR}/device_layer_rules.stamp)
add_custom_command(OUTPUT ${device_rules_stamp}
    COMMAND ${CMAKE_COMMAND} "-DFILES=${device_layer_files}"
            "-DFORBIDDEN=${tavlin_device_forbidden}" -DSTAMP=${device_rules_stamp}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/check_includes.cmake
    DEPENDS ${device_layer_files} ${CMAKE_CURRENT_SOURCE_DIR}/check_includes.cmake
    COMMENT "Checking that the device layer includes no transport" VERBATIM)
add_custom_target(device_layer_rules DEPENDS ${device_rules_stamp})
add_dependencies(tavlin_device device_layer_rules)
