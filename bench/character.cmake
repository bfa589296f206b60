# The character window's figures: building the eight shapes, and one flight step.
add_executable(bench_character ${CMAKE_CURRENT_LIST_DIR}/bench_character.cpp)
target_link_libraries(bench_character PRIVATE pelloway_character)
pelloway_warnings(bench_character)
add_custom_target(bench-character
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:bench_character>
    DEPENDS bench_character VERBATIM)
add_dependencies(bench bench-character)
