find_package(benchmark REQUIRED)

# halvorin_add_benchmark(<name> SOURCES <files...> LIBRARIES <targets...>)
function(halvorin_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} benchmark::benchmark benchmark::benchmark_main)
endfunction()
