add_unit_test(NAME test_menus SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_menus.cpp LIBS pelloway_app LABELS gui)
