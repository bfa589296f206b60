# Dial-up hang-up figures against NetworkManager's D-Bus API served by python3-dbusmock on a
# private bus: listing and deactivating two connections, and what a dead NetworkManager costs.
if(TARGET pelloway_testsupport)
    add_executable(bench_hangup EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/hangup.cpp")
    target_link_libraries(bench_hangup PRIVATE pelloway_ras pelloway_testsupport)
    pelloway_warnings(bench_hangup)
    add_custom_target(bench-hangup
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:bench_hangup>
        DEPENDS bench_hangup USES_TERMINAL VERBATIM)
    add_dependencies(bench bench-hangup)
endif()
