# The banner strip as the X server shows it, against Qt's own painting, under a private Xvfb.
add_unit_test(NAME test_banner_strip SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_banner_strip.cpp
              LIBS pelloway_app LABELS gui XVFB)
add_test(NAME test_banner_strip_scaled
         COMMAND "${PROJECT_SOURCE_DIR}/tests/support/with-xvfb" "$<TARGET_FILE:test_banner_strip>" scaledScreenKeepsQtPainting)
set_tests_properties(test_banner_strip_scaled PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=xcb;QT_SCALE_FACTOR=2;LC_ALL=C.UTF-8;ASAN_OPTIONS=detect_leaks=0;PELLOWAY_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    LABELS gui TIMEOUT 120 WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
