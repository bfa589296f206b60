add_unit_test(NAME test_private_profile SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_private_profile.cpp LIBS pelloway_platform)
add_unit_test(NAME test_ansi SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_ansi.cpp LIBS pelloway_platform)
add_unit_test(NAME test_runtime SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_runtime.cpp LIBS pelloway_platform)
