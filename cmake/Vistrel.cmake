# One static library per subsystem folder: every .cpp and .h directly in the
# folder belongs to it (CONFIGURE_DEPENDS picks up added files on the next build).
function(vistrel_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# A GoogleTest program whose cases CTest lists one by one, labelled with its tier.
function(vistrel_test name)
  cmake_parse_arguments(ARG "" "TIER" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock vistrel_test_main)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  # Test names carry the program's folder ("unit.x11.Suite.Case") so that `ctest -R <folder>` selects it.
  string(REGEX REPLACE "^${ARG_TIER}_" "" folder ${name})
  gtest_discover_tests(${name}
    TEST_PREFIX "${ARG_TIER}.${folder}."
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS ${ARG_TIER} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# One test program per folder of a tier; every .cpp in the folder belongs to it.
function(vistrel_test_folder folder tier)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(sources)
    vistrel_test(${tier}_${folder} TIER ${tier} SOURCES ${sources} DEPS ${ARGN})
  endif()
endfunction()
