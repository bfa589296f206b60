# The three settings dialogs, driven through their controls on the offscreen platform.
add_unit_test(NAME test_set_form SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_set_form.cpp LIBS pelloway_settings LABELS gui)
add_unit_test(NAME test_option_form SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_option_form.cpp LIBS pelloway_settings LABELS gui)
add_unit_test(NAME test_id_pass_form SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_id_pass_form.cpp LIBS pelloway_settings LABELS gui)
