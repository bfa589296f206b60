# fuzz-pop3: the POP3 response reader and header decoding fed arbitrary server bytes.
#   build-fuzz/fuzz/fuzz-pop3 -max_total_time=600 <scratch dir> fuzz/corpus/pop3
set(pop3_src "${PROJECT_SOURCE_DIR}/src/platform/linux/pop3")
add_executable(fuzz-pop3 ${CMAKE_CURRENT_LIST_DIR}/fuzz_pop3.cpp ${pop3_src}/Pop3ResponseReader.cpp
                         ${pop3_src}/MessageHeaders.cpp)
target_include_directories(fuzz-pop3 PRIVATE "${PROJECT_SOURCE_DIR}/src")
target_link_libraries(fuzz-pop3 PRIVATE pelloway_platform Qt6::Core)
target_compile_options(fuzz-pop3 PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
target_link_options(fuzz-pop3 PRIVATE -fsanitize=fuzzer,address,undefined)
pelloway_warnings(fuzz-pop3)
