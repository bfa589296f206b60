add_unit_test(NAME test_pictures SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_pictures.cpp LIBS pelloway_app LABELS unit)

# The pictures in assets/ are what the drawing scripts in art/ produce today.
add_test(NAME test_pictures_current COMMAND /usr/bin/python3 "${PROJECT_SOURCE_DIR}/art/make_pictures.py" --check)
set_tests_properties(test_pictures_current PROPERTIES LABELS unit TIMEOUT 120)
