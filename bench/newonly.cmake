# bench-newonly: one check of 402 x 100 KB with nothing new, the new-only choice off and on:
# bytes moved and the exchange's time on loopback and through the 20 ms delay proxy.
if(TARGET pelloway_testsupport)
    add_executable(bench_newonly EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/newonly.cpp")
    target_link_libraries(bench_newonly PRIVATE pelloway_mail pelloway_testsupport Qt6::Widgets)
    pelloway_warnings(bench_newonly)
    add_custom_target(bench-newonly
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:bench_newonly>
                $<TARGET_FILE:bench-pop3-proxy>
        DEPENDS bench_newonly bench-pop3-proxy USES_TERMINAL VERBATIM)
    add_dependencies(bench bench-newonly)
endif()
