# One mail check's figures against a private Dovecot: the POP3 exchange of a 1000 x 4 KB
# mailbox against the POP3 client alone, and the CPU of the one-second report wait.
if(TARGET pelloway_testsupport)
    add_executable(bench_check EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/check.cpp")
    target_link_libraries(bench_check PRIVATE pelloway_mail pelloway_testsupport Qt6::Widgets)
    pelloway_warnings(bench_check)
    add_custom_target(bench-check
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:bench_check>
        DEPENDS bench_check USES_TERMINAL VERBATIM)
    add_dependencies(bench bench-check)
endif()
