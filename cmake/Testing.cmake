find_package(GTest REQUIRED)
include(GoogleTest)

# halvorin_add_test(<name> SOURCES <files...> LIBRARIES <targets...>)
# One GoogleTest executable, its tests registered with CTest one by one.
function(halvorin_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
