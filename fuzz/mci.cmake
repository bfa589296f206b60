# fuzz-mci: the tune device's command strings, one per line, through the alias table.
#   build-fuzz/fuzz/fuzz-mci -max_total_time=600 <scratch dir>
set(mci_src "${PROJECT_SOURCE_DIR}/src/platform/linux/mci")
add_executable(fuzz-mci ${CMAKE_CURRENT_LIST_DIR}/fuzz_mci.cpp ${mci_src}/MciCommand.cpp ${mci_src}/SequencerMci.cpp)
target_include_directories(fuzz-mci PRIVATE "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(fuzz-mci PRIVATE pelloway_platform Qt6::Core)
target_compile_options(fuzz-mci PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
target_link_options(fuzz-mci PRIVATE -fsanitize=fuzzer,address,undefined)
pelloway_warnings(fuzz-mci)
