add_unit_test(NAME test_ansi_validator SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ansi_validator.cpp LIBS pelloway_platform LABELS gui)
