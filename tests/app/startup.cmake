add_unit_test(NAME test_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_startup.cpp LIBS pelloway_app LABELS gui)
