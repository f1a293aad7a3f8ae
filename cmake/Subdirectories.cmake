# Each area of the project lives in its own folder with its own CMakeLists.txt,
# so that areas can be added without touching the top-level file.
function(halvorin_add_subdirectory_if_present dir)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt")
    add_subdirectory("${dir}")
  endif()
endfunction()

function(halvorin_add_subdirectories parent)
  if(EXISTS "${CMAKE_CURRENT_SOURCE_DIR}/${parent}/CMakeLists.txt")
    add_subdirectory("${parent}")
    return()
  endif()
  file(GLOB children LIST_DIRECTORIES true RELATIVE "${CMAKE_CURRENT_SOURCE_DIR}"
       "${CMAKE_CURRENT_SOURCE_DIR}/${parent}/*")
  list(SORT children)
  foreach(child IN LISTS children)
    halvorin_add_subdirectory_if_present("${child}")
  endforeach()
endfunction()
