add_unit_test(NAME test_check_cycle SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_check_cycle.cpp
              LIBS pelloway_mail Qt6::Widgets LABELS unit)
add_unit_test(NAME test_check_helpers SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_check_helpers.cpp
              LIBS pelloway_mail LABELS unit)
add_unit_test(NAME test_msg_form SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_msg_form.cpp
              LIBS pelloway_mail Qt6::Widgets LABELS gui)
add_unit_test(NAME test_msg_form_x11 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_msg_form_x11.cpp
              LIBS pelloway_mail Qt6::Widgets LABELS gui XVFB)
add_unit_test(NAME test_check_dovecot SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_check_dovecot.cpp
              LIBS pelloway_mail Qt6::Widgets LABELS integration TIMEOUT 180)
add_unit_test(NAME test_check_program SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_check_program.cpp
              LIBS pelloway_app LABELS e2e TIMEOUT 180)
add_unit_test(NAME test_check_notifications SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_check_notifications.cpp
              LIBS pelloway_mail pelloway_notify Qt6::Widgets LABELS integration TIMEOUT 180)
