add_unit_test(NAME test_runtime SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_runtime.cpp LIBS pelloway_platform)
