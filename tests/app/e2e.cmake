add_unit_test(NAME test_desktop SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_desktop.cpp
              LIBS pelloway_mail Qt6::Widgets LABELS e2e TIMEOUT 180 XVFB)
add_dependencies(test_desktop pelloway)
