# The banner strip as the X server shows it, against Qt's own painting, under a private Xvfb.
add_unit_test(NAME test_banner_strip SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_banner_strip.cpp
              LIBS pelloway_app LABELS gui XVFB)
