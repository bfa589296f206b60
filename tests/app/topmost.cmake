# "常に前面表示" on a real X server with a window manager.
add_unit_test(NAME test_topmost_x11 SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_topmost_x11.cpp
              LIBS pelloway_app LABELS gui TIMEOUT 120 XVFB)
