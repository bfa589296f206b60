add_unit_test(NAME test_mci_commands SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_mci_commands.cpp LIBS pelloway_mci)
add_unit_test(NAME test_fluidsynth_mci SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_fluidsynth_mci.cpp
              LIBS pelloway_mci LABELS integration TIMEOUT 120)
add_unit_test(NAME test_tune_triggers SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_tune_triggers.cpp
              LIBS pelloway_app pelloway_mci LABELS gui)
# The shipped tune is the generator's output: a change to one without the other fails here.
add_test(NAME test_tune_asset
         COMMAND sh -c "/usr/bin/python3 \"$1/art/tune/compose_tune.py\" \"$2\" && cmp \"$2\" \"$1/assets/Sound/Kouka.mid\""
                 check_tune_asset "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_BINARY_DIR}/Kouka.generated.mid")
set_tests_properties(test_tune_asset PROPERTIES LABELS unit TIMEOUT 60)
