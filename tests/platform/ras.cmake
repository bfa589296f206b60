# Dial-up hang-up. The NetworkManager tests run their own dbus-daemon with python3-dbusmock's
# NetworkManager on it; the pppd tests use copies of sleep and sh named like the real ones.

add_unit_test(NAME test_ras_limit SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_limit.cpp LIBS pelloway_ras)
add_unit_test(NAME test_ras_pppd SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_pppd.cpp LIBS pelloway_ras
              LABELS integration)
add_unit_test(NAME test_ras_networkmanager SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_networkmanager.cpp
              LIBS pelloway_ras LABELS integration)
add_unit_test(NAME test_ras_deadline SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_deadline.cpp
              LIBS pelloway_ras LABELS integration)
add_unit_test(NAME test_ras_mainform SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_mainform.cpp
              LIBS pelloway_app pelloway_ras LABELS integration)
# These and test_desktop start real processes named pppd (tests/support/FakeProc.h). Each
# searches only a /proc folder of its own, so none sees another's; the lock is there so that
# one that strayed to the real /proc would fail by itself rather than hang up another's fakes
# and make that one fail at random. Every bus and X display is private to its test.
set_tests_properties(test_ras_pppd test_ras_mainform PROPERTIES RESOURCE_LOCK pelloway_fake_pppd)
