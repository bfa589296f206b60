# The mail library's ten operations: buffers, cp932 texts and reasons, against a private
# Dovecot and a scripted server.
add_unit_test(NAME test_nmail_buffers SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_nmail_buffers.cpp LIBS pelloway_mail
              LABELS unit)
add_unit_test(NAME test_nmail_library SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_nmail_library.cpp LIBS pelloway_mail
              LABELS integration TIMEOUT 120)
