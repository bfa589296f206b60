add_unit_test(NAME test_settings_files SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_settings_files.cpp LIBS pelloway_settings)
