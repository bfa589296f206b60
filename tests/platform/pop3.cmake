# The POP3 client: the response reader and helpers on their own, the client against a
# private Dovecot, and faults from a scripted server.
add_unit_test(NAME test_pop3_reader SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pop3_reader.cpp LIBS pelloway_pop3
              LABELS unit)
add_unit_test(NAME test_pop3_dovecot SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pop3_dovecot.cpp LIBS pelloway_pop3
              LABELS integration TIMEOUT 120)
add_unit_test(NAME test_pop3_faults SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pop3_faults.cpp LIBS pelloway_pop3
              LABELS integration TIMEOUT 120)
