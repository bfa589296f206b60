# Compiler settings for our own code. PELLOWAY_STRICT (on in `make test`, `make test-asan`
# and CI) turns every warning into an error; a distribution build leaves it off so a newer
# compiler's new warnings do not stop it.
function(pelloway_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(PELLOWAY_STRICT)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
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

# Copies the shipped pictures, tune and page into DIR as they sit beside the program
# ("★MailData", "Sound", "about.html"), as the target TARGET (built with ALL). Only the
# shipped files are copied: settings files written there stay untouched.
function(pelloway_program_files target dir)
    file(GLOB pictures CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/assets/★MailData/*.gif")
    file(GLOB sounds CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/assets/Sound/*.mid")
    set(outputs "")
    foreach(src IN LISTS pictures sounds ITEMS "${PROJECT_SOURCE_DIR}/assets/about.html")
        file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}/assets" "${src}")
        add_custom_command(OUTPUT "${dir}/${rel}" COMMAND ${CMAKE_COMMAND} -E copy "${src}" "${dir}/${rel}"
                           DEPENDS "${src}" VERBATIM)
        list(APPEND outputs "${dir}/${rel}")
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${outputs} ${ARGN})
endfunction()

# What every test process gets besides its platform: the locale, the source tree, and in the
# sanitizer build leak checking, with the suppressions of what the libraries below us keep
# by themselves (tests/support/lsan.supp). The programs a test starts inherit it.
set(PELLOWAY_TEST_ENV "LC_ALL=C.UTF-8" "UBSAN_OPTIONS=print_stacktrace=1"
    "ASAN_OPTIONS=detect_leaks=1"
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/support/lsan.supp:print_suppressions=0"
    "PELLOWAY_SOURCE_DIR=${PROJECT_SOURCE_DIR}")

# The folder the test executables are built into, away from the program folder, with the
# program's files beside them as in an installation and a link to the program (the tests
# that run the program start it from here).
set(PELLOWAY_TEST_BIN_DIR "${CMAKE_BINARY_DIR}/tests/bin")

# One QTest executable per tested class or behaviour, registered with CTest.
#   add_unit_test(NAME test_x SOURCES a.cpp LIBS pelloway_app LABELS unit [TIMEOUT s] [XVFB])
function(add_unit_test)
    cmake_parse_arguments(ARG "XVFB" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} Qt6::Test pelloway_testsupport)
    pelloway_warnings(${ARG_NAME})
    set_target_properties(${ARG_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PELLOWAY_TEST_BIN_DIR}")
    add_dependencies(${ARG_NAME} pelloway_test_files)
    if(ARG_XVFB)
        add_test(NAME ${ARG_NAME}
                 COMMAND "${PROJECT_SOURCE_DIR}/tests/support/with-xvfb" "$<TARGET_FILE:${ARG_NAME}>")
        set(platform "QT_QPA_PLATFORM=xcb")
    else()
        add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
        set(platform "QT_QPA_PLATFORM=offscreen")
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    if(PELLOWAY_SANITIZE) # the sanitizers make every step two to three times slower
        math(EXPR ARG_TIMEOUT "${ARG_TIMEOUT} * 3")
    endif()
    if(NOT ARG_LABELS)
        set(ARG_LABELS unit)
    endif()
    set(env ${platform} ${PELLOWAY_TEST_ENV} ${ARG_ENV})
    set_tests_properties(${ARG_NAME} PROPERTIES ENVIRONMENT "${env}"
                                                LABELS "${ARG_LABELS}" TIMEOUT ${ARG_TIMEOUT}
                                                WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
endfunction()
