# The program as the desktop meets it: its folders, the window system it asks for, one copy,
# the ways it ends. test_session_process runs the built program.
add_unit_test(NAME test_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_session.cpp LIBS pelloway_app LABELS unit)
add_unit_test(NAME test_session_process SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_session_process.cpp
              LIBS Qt6::Core LABELS integration TIMEOUT 120)
add_dependencies(test_session_process pelloway)
target_compile_definitions(test_session PRIVATE PELLOWAY_VERSION_TEXT="${PROJECT_VERSION}")
