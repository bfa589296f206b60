# The running program: idle CPU and memory with all its timers, and start-up time.
add_custom_target(bench-app
    COMMAND "${PROJECT_SOURCE_DIR}/tests/support/with-xvfb" "${CMAKE_CURRENT_LIST_DIR}/idle.sh" "$<TARGET_FILE:pelloway>"
    DEPENDS pelloway
    USES_TERMINAL)
add_dependencies(bench bench-app)
