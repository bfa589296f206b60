# The tune device's figures: what opening and playing the shipped tune holds the window's
# thread, alone and as "イベント確認" on the main window, and CPU while it plays.
add_executable(bench_sound EXCLUDE_FROM_ALL "${CMAKE_CURRENT_LIST_DIR}/sound.cpp")
target_link_libraries(bench_sound PRIVATE pelloway_app pelloway_mci)
target_include_directories(bench_sound PRIVATE "${PROJECT_SOURCE_DIR}/tests")
target_compile_definitions(bench_sound PRIVATE PELLOWAY_TUNE="${PROJECT_SOURCE_DIR}/assets/Sound/Kouka.mid"
                                               PELLOWAY_PICTURES="${PROJECT_SOURCE_DIR}/assets/★MailData")
pelloway_warnings(bench_sound)
add_custom_target(bench-sound COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:bench_sound>
                  DEPENDS bench_sound USES_TERMINAL VERBATIM)
add_dependencies(bench bench-sound)
