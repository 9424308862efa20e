# vestan_folder_library(<folder> [DEPENDS <lib>...])
# One static library per source folder, named vestan_<folder>, built from every
# .cpp in the folder (subfolders such as qt/ are separate libraries). A folder
# with headers only gives an interface library.
function(vestan_folder_library folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(vestan_${folder} STATIC ${sources})
    target_include_directories(vestan_${folder} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vestan_${folder} PUBLIC ${ARG_DEPENDS})
  else()
    # A folder that so far holds only headers.
    add_library(vestan_${folder} INTERFACE)
    target_include_directories(vestan_${folder} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vestan_${folder} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# vestan_folder_tests(<folder> LIBS <lib>...)
# One test program per test folder, from every *_test.cpp in it.
function(vestan_folder_tests folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  set(target ${folder}_tests)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${target} PRIVATE
    VESTAN_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    VESTAN_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
  gtest_discover_tests(${target} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       DISCOVERY_TIMEOUT 60)
endfunction()
