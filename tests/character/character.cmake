# The character window: its shapes, its flight, the window itself offscreen and on a real
# X server.
add_unit_test(NAME test_frame_regions SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_frame_regions.cpp
              LIBS pelloway_character)
add_unit_test(NAME test_flight SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_flight.cpp LIBS pelloway_character)
add_unit_test(NAME test_form1 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_form1.cpp LIBS pelloway_character
              LABELS gui)
add_unit_test(NAME test_form1_screen SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_form1_screen.cpp
              LIBS pelloway_character LABELS gui XVFB TIMEOUT 60)
add_unit_test(NAME test_form1_drag SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_form1_drag.cpp
              LIBS pelloway_character LABELS gui XVFB TIMEOUT 60)
