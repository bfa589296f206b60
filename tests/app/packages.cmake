# Setting up: the package sets and the services they leave off, and an installation.
add_test(NAME test_packages COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/test_packages.sh")
set_tests_properties(test_packages PROPERTIES LABELS unit)
add_test(NAME test_install COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/test_install.sh" "${CMAKE_BINARY_DIR}")
set_tests_properties(test_install PROPERTIES LABELS integration)
