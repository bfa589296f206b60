# The tune device's figures: opening the shipped tune with TimGM6mb, and CPU while it plays.
add_executable(bench_sound EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/sound.cpp")
target_link_libraries(bench_sound PRIVATE pelloway_mci)
target_compile_definitions(bench_sound PRIVATE PELLOWAY_TUNE="${PROJECT_SOURCE_DIR}/assets/Sound/Kouka.mid")
pelloway_warnings(bench_sound)
add_custom_target(bench-sound COMMAND $<TARGET_FILE:bench_sound> DEPENDS bench_sound USES_TERMINAL VERBATIM)
add_dependencies(bench bench-sound)
