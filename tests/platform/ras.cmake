# Dial-up hang-up. The NetworkManager tests run their own dbus-daemon with python3-dbusmock's
# NetworkManager on it; the pppd tests use copies of sleep and sh named like the real ones.

add_unit_test(NAME test_ras_limit SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_limit.cpp LIBS pelloway_ras)
add_unit_test(NAME test_ras_pppd SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_pppd.cpp LIBS pelloway_ras
              LABELS integration)
add_unit_test(NAME test_ras_networkmanager SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_networkmanager.cpp
              LIBS pelloway_ras LABELS integration)
# Far below the 25 s a D-Bus call waits by default: a listing without its own deadline fails.
add_unit_test(NAME test_ras_deadline SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_deadline.cpp
              LIBS pelloway_ras LABELS integration TIMEOUT 20)
add_unit_test(NAME test_ras_mainform SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ras_mainform.cpp
              LIBS pelloway_app pelloway_ras LABELS integration)
