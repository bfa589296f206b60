# Compiler settings for our own code: every warning is an error.
function(pelloway_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
    if(PELLOWAY_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# One library per subsystem folder.
function(pelloway_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    pelloway_warnings(${name})
endfunction()

# One QTest executable per tested class or behaviour, registered with CTest.
#   add_unit_test(NAME test_x SOURCES a.cpp LIBS pelloway_app LABELS unit [TIMEOUT s] [XVFB])
# The test runs from the program folder's build copy so the application folder holds
# "★MailData" and "Sound" as in an installation.
function(add_unit_test)
    cmake_parse_arguments(ARG "XVFB" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} Qt6::Test pelloway_testsupport)
    pelloway_warnings(${ARG_NAME})
    set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PELLOWAY_APP_DIR}")
    add_dependencies(${ARG_NAME} pelloway_assets)
    if(ARG_XVFB)
        add_test(NAME ${ARG_NAME}
                 COMMAND "${PROJECT_SOURCE_DIR}/tests/support/with-xvfb" "$<TARGET_FILE:${ARG_NAME}>")
    else()
        add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    endif()
    set(env "QT_QPA_PLATFORM=offscreen" "LC_ALL=C.UTF-8" "ASAN_OPTIONS=detect_leaks=0"
            "UBSAN_OPTIONS=print_stacktrace=1" "PELLOWAY_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${ARG_ENV})
    if(ARG_XVFB)
        list(REMOVE_ITEM env "QT_QPA_PLATFORM=offscreen")
        list(APPEND env "QT_QPA_PLATFORM=xcb")
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    set_tests_properties(${ARG_NAME} PROPERTIES ENVIRONMENT "${env}" LABELS "${ARG_LABELS}"
                                                TIMEOUT ${ARG_TIMEOUT}
                                                WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
endfunction()
