# The Event Log message table both programs carry, compiled from src/res/Events.mc with the
# toolchain's message compiler (windmc beside windres, or mc.exe). Gives the target
# sarnok_events and SARNOK_EVENTS_DIR, which holds Events.rc, Events.h and the table's .bin.
set(SARNOK_EVENTS_DIR ${PROJECT_BINARY_DIR}/events)
if(MINGW OR CMAKE_RC_COMPILER MATCHES "windres")
    string(REPLACE "windres" "windmc" _windmc "${CMAKE_RC_COMPILER}")
    find_program(SARNOK_MESSAGE_COMPILER NAMES ${_windmc} windmc REQUIRED)
else()
    find_program(SARNOK_MESSAGE_COMPILER NAMES mc REQUIRED)
endif()
set(_mc ${PROJECT_SOURCE_DIR}/src/res/Events.mc)
set(SARNOK_EVENTS_OUTPUTS ${SARNOK_EVENTS_DIR}/Events.rc ${SARNOK_EVENTS_DIR}/Events.h
                          ${SARNOK_EVENTS_DIR}/MSG00409.bin)
add_custom_command(
    OUTPUT ${SARNOK_EVENTS_OUTPUTS}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${SARNOK_EVENTS_DIR}
    COMMAND ${SARNOK_MESSAGE_COMPILER} -h ${SARNOK_EVENTS_DIR} -r ${SARNOK_EVENTS_DIR} ${_mc}
    DEPENDS ${_mc}
    COMMENT "Compiling the Event Log message table")
add_custom_target(sarnok_events DEPENDS ${SARNOK_EVENTS_OUTPUTS})
