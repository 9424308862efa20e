# vestan_folder_library(<name> <folder> [DEPENDS <lib>...])
# One static library per source folder, named vestan_<name>, built from every
# .cpp in src/<folder> but main.cpp (subfolders such as qt/ are separate libraries). A
# folder with headers only gives an interface library.
function(vestan_folder_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
  # An entry point is the executable's, not the library's.
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(vestan_${name} STATIC ${sources})
    target_include_directories(vestan_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vestan_${name} PUBLIC ${ARG_DEPENDS})
  else()
    add_library(vestan_${name} INTERFACE)
    target_include_directories(vestan_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(vestan_${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# vestan_folder_tests(<name> <folder>)
# One test program per test folder, from every *_test.cpp in tests/<folder>,
# linked with vestan_<name>. Tests find their fixtures and the shipped data
# through VESTAN_FIXTURES_DIR and VESTAN_DATA_DIR.
function(vestan_folder_tests name folder)
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*_test.cpp)
  if(NOT sources)
    return()
  endif()
  set(target ${name}_tests)
  add_executable(${target} ${sources})
  target_link_libraries(${target} PRIVATE vestan_${name} GTest::gtest GTest::gmock
                        GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${target} PRIVATE
    VESTAN_FIXTURES_DIR="${PROJECT_SOURCE_DIR}/tests/fixtures"
    VESTAN_DATA_DIR="${PROJECT_SOURCE_DIR}/data")
  gtest_discover_tests(${target} WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
                       DISCOVERY_TIMEOUT 60)
endfunction()
