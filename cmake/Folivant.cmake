# Helpers shared by every subsystem's CMakeLists.
#
#   folivant_library(NAME core SOURCES ... DEPS fvt_platform ...)
#       static library fvt_<NAME>; includes are rooted at src/ ("core/string.h").
#   folivant_test_suite(SUBSYSTEM core SOURCES ... DEPS fvt_core ...)
#       one GoogleTest executable <SUBSYSTEM>_tests, labelled <SUBSYSTEM>; the sources may be
#       added to by several calls (folivant_test_sources) from subfolders.
#   folivant_fuzz(NAME fuzz_gif SUBSYSTEM media SOURCES ... DEPS ... CORPUS dir ARGS -max_len=N)
#       libFuzzer target, run under CTest for FOLIVANT_FUZZ_RUNS runs (labels fuzz;<SUBSYSTEM>),
#       with ARGS as further libFuzzer flags.
#   folivant_bench(NAME core_bench SOURCES ... DEPS ...)
#   folivant_tool(NAME bookdump SOURCES ... DEPS ... [STANDALONE])
#       test-support program, never installed. A STANDALONE one (the dump tools) is linked on its
#       own: see below.
#   folivant_external(TARGET fvt_media [IF condition] SHARED JPEG::JPEG STATIC jpeg)
#       links an outside library (only where the generator condition holds), as the archives
#       named (lib<name>.a) into a static tool and into the program.
#   folivant_program(folivant)
#       the reader program's own link: see below.
#
# A standalone tool maps and touches only what it runs, for its peak memory is meant to stay
# below twice its output: it gets none of the program's exported symbols, forced-in device parts
# (back end, shell and network registrations) or text libraries, and outside sanitizer and fuzz
# builds it is linked statically, so that no shared C++ runtime or C library is mapped whole.
# The device layer's link items test these through the two generator conditions below, which
# read the property of the target being linked.
set(FOLIVANT_IN_PROGRAM "$<NOT:$<BOOL:$<TARGET_PROPERTY:FOLIVANT_STANDALONE>>>")
set(FOLIVANT_STATIC_TOOL "$<BOOL:$<TARGET_PROPERTY:FOLIVANT_STATIC>>")
# Outside libraries linked as archives: into a static tool, and into the program (below).
set(FOLIVANT_ARCHIVED
  "$<OR:${FOLIVANT_STATIC_TOOL},$<BOOL:$<TARGET_PROPERTY:FOLIVANT_ARCHIVES>>>")

function(folivant_library)
  cmake_parse_arguments(A "" "NAME" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(fvt_${A_NAME} STATIC ${A_SOURCES})
  set_property(GLOBAL APPEND PROPERTY FOLIVANT_LIBRARIES fvt_${A_NAME})
  target_include_directories(fvt_${A_NAME} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(fvt_${A_NAME} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
  # Fuzz targets find their way only through code that reports its coverage.
  if(FOLIVANT_FUZZ)
    target_compile_options(fvt_${A_NAME} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()

function(folivant_test_suite)
  cmake_parse_arguments(A "" "SUBSYSTEM" "SOURCES;DEPS" ${ARGN})
  set(target ${A_SUBSYSTEM}_tests)
  if(NOT TARGET ${target})
    add_executable(${target} ${A_SOURCES})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
    target_link_libraries(${target} PRIVATE ${A_DEPS} GTest::gtest GTest::gtest_main Threads::Threads)
    add_test(NAME ${target} COMMAND ${target} --gtest_brief=1)
    set_tests_properties(${target} PROPERTIES LABELS ${A_SUBSYSTEM}
      ENVIRONMENT "FOLIVANT_TEST_SOURCE=${CMAKE_SOURCE_DIR};FOLIVANT_TEST_BINARY=${CMAKE_BINARY_DIR}")
  else()
    target_sources(${target} PRIVATE ${A_SOURCES})
    target_link_libraries(${target} PRIVATE ${A_DEPS})
  endif()
endfunction()

function(folivant_fuzz)
  cmake_parse_arguments(A "" "NAME;SUBSYSTEM;CORPUS" "SOURCES;DEPS;ARGS" ${ARGN})
  if(NOT FOLIVANT_FUZZ)
    return()
  endif()
  add_executable(${A_NAME} ${A_SOURCES})
  target_include_directories(${A_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_compile_options(${A_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${A_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${A_NAME} PRIVATE ${A_DEPS})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${A_NAME})
  file(MAKE_DIRECTORY ${corpus})
  if(A_CORPUS)
    add_test(NAME ${A_NAME} COMMAND ${A_NAME} -runs=${FOLIVANT_FUZZ_RUNS} -max_total_time=60
             ${A_ARGS} ${corpus} ${A_CORPUS})
  else()
    add_test(NAME ${A_NAME} COMMAND ${A_NAME} -runs=${FOLIVANT_FUZZ_RUNS} -max_total_time=60
             ${A_ARGS} ${corpus})
  endif()
  set_tests_properties(${A_NAME} PROPERTIES LABELS "fuzz;${A_SUBSYSTEM}")
endfunction()

function(folivant_bench)
  cmake_parse_arguments(A "" "NAME" "SOURCES;DEPS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_include_directories(${A_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${A_NAME} PRIVATE ${A_DEPS} benchmark::benchmark)
endfunction()

function(folivant_tool)
  cmake_parse_arguments(A "STANDALONE" "NAME" "SOURCES;DEPS" ${ARGN})
  add_executable(${A_NAME} ${A_SOURCES})
  target_include_directories(${A_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${A_NAME} PRIVATE ${A_DEPS})
  if(A_STANDALONE)
    set_target_properties(${A_NAME} PROPERTIES FOLIVANT_STANDALONE ON)
    get_property(no_archives GLOBAL PROPERTY FOLIVANT_MISSING_ARCHIVES)
    # A sanitizer's runtime (also one asked for through the flags alone, as the thread
    # sanitizer's build does) cannot be linked statically.
    if(NOT FOLIVANT_SANITIZE AND NOT FOLIVANT_FUZZ AND NOT no_archives AND
       NOT "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" MATCHES "-fsanitize")
      set_target_properties(${A_NAME} PROPERTIES FOLIVANT_STATIC ON)
      target_link_options(${A_NAME} PRIVATE -static)
    endif()
  endif()
endfunction()

function(folivant_external)
  cmake_parse_arguments(A "" "TARGET;IF" "SHARED;STATIC" ${ARGN})
  set(archives)
  foreach(name IN LISTS A_STATIC)
    find_library(FOLIVANT_ARCHIVE_${name} NAMES lib${name}.a)
    if(FOLIVANT_ARCHIVE_${name})
      list(APPEND archives ${FOLIVANT_ARCHIVE_${name}})
      set_property(GLOBAL APPEND PROPERTY FOLIVANT_ARCHIVE_NAMES lib${name}.a)
    else()
      # Without the archive every standalone tool, and the program, link shared libraries.
      set_property(GLOBAL PROPERTY FOLIVANT_MISSING_ARCHIVES ON)
    endif()
  endforeach()
  set(items "$<IF:${FOLIVANT_ARCHIVED},${archives},${A_SHARED}>")
  if(A_IF)
    set(items "$<${A_IF}:${items}>")
  endif()
  target_link_libraries(${A_TARGET} PRIVATE "${items}")
endfunction()

# The program starts as often as a text browser and is held to one's start: what the loader does
# before main is most of it. Outside sanitizer and fuzz builds the C++ runtime and the outside
# libraries are linked in as archives (the loader then maps and relocates the C library alone
# and looks up a hundred symbols, not thousands), none of their symbols is exported, and the
# relative relocations are packed. Whatever the build, the program exports only the device
# layer's symbols, which the display module and the plug-ins call; the rest of its code binds
# inside it. The C library stays shared: the display module and the plug-ins are loaded at run
# time.
function(folivant_program target)
  get_property(libraries GLOBAL PROPERTY FOLIVANT_LIBRARIES)
  set(hidden)
  foreach(lib IN LISTS libraries)
    if(NOT lib STREQUAL "fvt_platform")
      list(APPEND hidden "lib${lib}.a")
    endif()
  endforeach()
  get_property(no_archives GLOBAL PROPERTY FOLIVANT_MISSING_ARCHIVES)
  if(NOT FOLIVANT_SANITIZE AND NOT FOLIVANT_FUZZ AND NOT no_archives AND
     NOT "${CMAKE_CXX_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}" MATCHES "-fsanitize")
    set_target_properties(${target} PROPERTIES FOLIVANT_ARCHIVES ON)
    get_property(outside GLOBAL PROPERTY FOLIVANT_ARCHIVE_NAMES)
    list(APPEND hidden libstdc++.a libgcc.a libgcc_eh.a ${outside})
    target_link_options(${target} PRIVATE -static-libstdc++ -static-libgcc -Wl,--as-needed)
    include(CheckLinkerFlag)
    check_linker_flag(CXX "-Wl,-z,pack-relative-relocs" FOLIVANT_PACKED_RELOCATIONS)
    if(FOLIVANT_PACKED_RELOCATIONS)
      target_link_options(${target} PRIVATE "-Wl,-z,pack-relative-relocs")
    endif()
  endif()
  list(JOIN hidden ":" hidden)
  target_link_options(${target} PRIVATE "-Wl,--exclude-libs,${hidden}")
endfunction()
