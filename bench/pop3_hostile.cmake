# bench-hostile: the real check's library (bench-pop3-check, default bounds) against servers
# that misbehave; for each case the time to the failure reason and the peak memory.
if(TARGET pelloway_testsupport AND TARGET bench-pop3-check)
    add_executable(bench-hostile-driver ${CMAKE_CURRENT_LIST_DIR}/pop3_hostile.cpp)
    target_link_libraries(bench-hostile-driver PRIVATE pelloway_testsupport)
    pelloway_warnings(bench-hostile-driver)
    add_custom_target(bench-hostile
                      COMMAND bench-hostile-driver $<TARGET_FILE:bench-pop3-check>
                      DEPENDS bench-hostile-driver bench-pop3-check
                      USES_TERMINAL)
    add_dependencies(bench bench-hostile)
endif()
