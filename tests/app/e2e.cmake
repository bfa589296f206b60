add_unit_test(NAME test_desktop SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_desktop.cpp
              LIBS pelloway_mail Qt6::Widgets LABELS e2e TIMEOUT 180 XVFB)
add_dependencies(test_desktop pelloway)
# It starts real processes named pppd, as the hang-up tests do (see tests/platform/ras.cmake).
set_tests_properties(test_desktop PROPERTIES RESOURCE_LOCK pelloway_fake_pppd)

# A Wayland session: a headless Weston with Xwayland of its own.
add_unit_test(NAME test_wayland SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_wayland.cpp LIBS Qt6::Core LABELS e2e TIMEOUT 120)
add_dependencies(test_wayland pelloway)
