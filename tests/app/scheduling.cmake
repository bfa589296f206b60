# Check scheduling on the main window, tick by tick.
add_unit_test(NAME test_scheduling SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_scheduling.cpp LIBS pelloway_app LABELS gui)
