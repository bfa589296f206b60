# bench-pop3: whole checks against a private Dovecot, ours and mpop, curl and poplib, on
# loopback and through a proxy that adds 10 ms each way (see bench_pop3.cpp).
if(TARGET pelloway_testsupport)
    add_executable(bench-pop3-proxy ${CMAKE_CURRENT_LIST_DIR}/pop3_delay_proxy.cpp)
    pelloway_warnings(bench-pop3-proxy)
    add_executable(bench-pop3-check ${CMAKE_CURRENT_LIST_DIR}/pop3_check.cpp)
    target_link_libraries(bench-pop3-check PRIVATE pelloway_mail)
    pelloway_warnings(bench-pop3-check)
    add_executable(bench-pop3-driver ${CMAKE_CURRENT_LIST_DIR}/bench_pop3.cpp)
    target_link_libraries(bench-pop3-driver PRIVATE pelloway_testsupport)
    pelloway_warnings(bench-pop3-driver)
    add_custom_target(bench-pop3
                      COMMAND bench-pop3-driver $<TARGET_FILE:bench-pop3-check> $<TARGET_FILE:bench-pop3-proxy>
                      DEPENDS bench-pop3-driver bench-pop3-check bench-pop3-proxy
                      USES_TERMINAL)
    add_dependencies(bench bench-pop3)
endif()
