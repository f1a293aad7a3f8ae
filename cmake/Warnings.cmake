add_compile_options(-Wall -Wextra -Wpedantic)
if(HALVORIN_WERROR)
  add_compile_options(-Werror)
endif()

# GCC 12 raises false -Wrestrict alarms inside libstdc++'s own string code when
# it inlines at -O3 (GCC bug 105651); they say nothing about our code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()

if(HALVORIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(HALVORIN_SANITIZE_THREADS)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# libFuzzer targets link with -fsanitize=fuzzer; the rest of the code is
# instrumented for coverage so the fuzzer can see into it.
if(HALVORIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "HALVORIN_FUZZ needs clang (use the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      "-fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/CoverageIgnore.txt")
  add_link_options(-fsanitize=address,undefined)
endif()

# halvorin_add_fuzzer(<name> SOURCES <files...> LIBRARIES <targets...>)
# builds build/<preset>/fuzzers/fuzz_<name>; scripts/fuzz.sh runs every one,
# seeded from fuzz/seeds/<name>/ when that folder exists.
function(halvorin_add_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(fuzz_${name} ${ARG_SOURCES}
    "${CMAKE_SOURCE_DIR}/fuzz/Support/ShortAllocationStacks.cpp")
  target_link_libraries(fuzz_${name} PRIVATE ${ARG_LIBRARIES})
  target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(fuzz_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/fuzzers")
endfunction()
