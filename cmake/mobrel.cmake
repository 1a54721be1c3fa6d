# Helpers shared by the folders' CMakeLists.

# mobrel_include_tree(<name> <folder>): a directory of the build tree that
# holds one link, <folder> relative to the source root, to that folder. A
# library includes "<folder>/x.h" through it, and sees the headers of the
# libraries it depends on through theirs; a header of a library above it is
# in no directory it searches, so an include that goes up fails to build.
# Sub-folders named in `hidden` are left out of the tree: the folder is then a
# directory of links to its other entries (a new entry reconfigures the build).
function(mobrel_include_tree name folder out)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${folder})
  set(tree ${PROJECT_BINARY_DIR}/include/${name})
  get_filename_component(parent ${tree}/${rel} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT ARGN)
    file(CREATE_LINK ${folder} ${tree}/${rel} SYMBOLIC)
    set(${out} ${tree} PARENT_SCOPE)
    return()
  endif()
  # A link to the whole folder from an earlier configuration goes first.
  if(IS_SYMLINK ${tree}/${rel})
    file(REMOVE ${tree}/${rel})
  endif()
  file(REMOVE_RECURSE ${tree}/${rel})
  file(MAKE_DIRECTORY ${tree}/${rel})
  file(GLOB entries CONFIGURE_DEPENDS RELATIVE ${folder} ${folder}/*)
  foreach(entry IN LISTS entries)
    if(NOT entry IN_LIST ARGN)
      file(CREATE_LINK ${folder}/${entry} ${tree}/${rel}/${entry} SYMBOLIC)
    endif()
  endforeach()
  set(${out} ${tree} PARENT_SCOPE)
endfunction()

# mobrel_library(<name> [EXCLUDE <regex>...] [HIDE <sub-folder>...]
#                [DEPENDS <lib>...]):
# one static library from every .cpp below the calling folder (a header-only
# one when there is none), seeing its own folder (but the sub-folders HIDE
# names) and the folders of the libraries it depends on.
function(mobrel_library name)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;HIDE;DEPENDS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(pattern IN LISTS ARG_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${pattern}")
  endforeach()
  mobrel_include_tree(${name} ${CMAKE_CURRENT_SOURCE_DIR} tree ${ARG_HIDE})
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${tree})
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  else()
    # Headers only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${tree})
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
  endif()
endfunction()

# mobrel_test(<name> DEPENDS <lib>... [SERIAL <gtest filter>]): one
# GoogleTest binary from every .cpp below the calling folder, linked with the
# test support, registered test by test with CTest. Tests that wait real time
# (seconds and more) stand in slow/ below the folder: they make a binary
# <name>_slow of their own whose tests carry the label `slow` and run beside
# the others (`ctest -LE slow` leaves them out). The tests that SERIAL selects
# run with no other test beside them (those that need a fixed port that every
# server program binds).
function(mobrel_test name)
  cmake_parse_arguments(ARG "" "SERIAL" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(slow_srcs ${srcs})
  list(FILTER srcs EXCLUDE REGEX "/slow/")
  list(FILTER slow_srcs INCLUDE REGEX "/slow/")
  mobrel_test_binary(${name} "${srcs}" "" 120 "${ARG_SERIAL}" ${ARG_DEPENDS})
  if(slow_srcs)
    mobrel_test_binary(${name}_slow "${slow_srcs}" slow 300 "${ARG_SERIAL}" ${ARG_DEPENDS})
  endif()
endfunction()

function(mobrel_test_binary name srcs label timeout serial)
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}
                                             ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARGN} mobrel_test_support GTest::gtest
                                        GTest::gtest_main)
  set(properties TIMEOUT ${timeout})
  if(label)
    list(APPEND properties LABELS ${label})
  endif()
  if(serial)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${serial}"
                         TEST_LIST ${name}_beside PROPERTIES ${properties})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${serial}"
                         TEST_LIST ${name}_alone PROPERTIES ${properties} RUN_SERIAL TRUE)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()
