# Check scheduling with the real timers: when the automatic checks of a 1-minute interval
# start (61 counting ticks each) and how even the one-second tick runs. Takes two minutes.
if(TARGET pelloway_testsupport)
    add_executable(bench_scheduling EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/scheduling.cpp")
    target_link_libraries(bench_scheduling PRIVATE pelloway_app pelloway_testsupport)
    pelloway_warnings(bench_scheduling)
    add_custom_target(bench-scheduling
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:bench_scheduling> 2
        DEPENDS bench_scheduling USES_TERMINAL VERBATIM)
    add_dependencies(bench bench-scheduling)
endif()
