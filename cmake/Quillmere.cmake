# Shared build rules: warnings, sanitizers, plug-in targets, tests and benchmarks.
include_guard(GLOBAL)

find_package(Python3 COMPONENTS Interpreter REQUIRED)

set(QM_WARNINGS -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion -Wnon-virtual-dtor
    -Wold-style-cast -Wcast-align -Woverloaded-virtual -Wdouble-promotion
    -Wformat=2 -Wimplicit-fallthrough)

# Applies the project's warning set (and -Werror when asked) to one target.
function(qm_warnings target)
  get_target_property(_langs ${target} SOURCES)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${QM_WARNINGS}>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra>)
  if(QM_WERROR)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX,C>:-Werror>)
  endif()
endfunction()

if(QM_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${QM_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QM_SANITIZE})
endif()

if(QM_FUZZ)
  # Everything a fuzzer reaches is built for coverage and checked by the sanitizers.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Plug-ins must load with nothing beside them: link the C and C++ runtimes in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QM_ARCH x64)
  else()
    set(QM_ARCH x86)
  endif()
else()
  # Native plug-ins are 64-bit and carry the same resource bytes as the x64 DLLs.
  set(QM_ARCH x64)
endif()

set(QM_RESGEN ${PROJECT_SOURCE_DIR}/tools/resgen/resgen.py)

# qm_add_plugin(<target> OUTPUT_NAME <name> SUFFIX <.8bf|.8bi|.aex> RESOURCES <desc.json>
#               SOURCES ... [LIBS ...])
# Builds a host-loadable plug-in. The resource description yields a .rc script for Windows
# and a C++ table for native builds, so both carry the same PiPL bytes.
function(qm_add_plugin target)
  cmake_parse_arguments(P "" "OUTPUT_NAME;SUFFIX;RESOURCES" "SOURCES;LIBS" ${ARGN})
  set(_desc ${CMAKE_CURRENT_SOURCE_DIR}/${P_RESOURCES})
  set(_gen ${CMAKE_CURRENT_BINARY_DIR}/${target}_res)
  if(WIN32)
    set(_out ${_gen}.rc)
  else()
    set(_out ${_gen}.cpp)
  endif()
  add_custom_command(OUTPUT ${_out}
    COMMAND ${Python3_EXECUTABLE} ${QM_RESGEN} --arch ${QM_ARCH}
            --format $<IF:$<BOOL:${WIN32}>,rc,cpp> --out ${_out} ${_desc}
    DEPENDS ${_desc} ${QM_RESGEN} ${PROJECT_SOURCE_DIR}/tools/resgen/resdesc.py
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    COMMENT "Resources of ${target} (${QM_ARCH})" VERBATIM)
  add_library(${target} SHARED ${P_SOURCES} ${_out})
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${P_OUTPUT_NAME}
    CXX_VISIBILITY_PRESET hidden C_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  if(WIN32)
    set_target_properties(${target} PROPERTIES SUFFIX ${P_SUFFIX})
    # Hosts look the entry up by its plain name, also on x86 where stdcall exports get @n.
    target_link_options(${target} PRIVATE -Wl,--kill-at)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  else()
    set_target_properties(${target} PROPERTIES SUFFIX ${P_SUFFIX}.so)
    if(NOT QM_FUZZ)
      # clang leaves sanitizer runtimes out of shared libraries; elsewhere catch missing symbols.
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
  endif()
  target_link_libraries(${target} PRIVATE ${P_LIBS} qm_platform_ui)
  qm_warnings(${target})
endfunction()

# qm_add_gtest(<target> SOURCES ... [LIBS ...] [LABELS ...])
function(qm_add_gtest target)
  if(WIN32 OR NOT QM_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  target_link_libraries(${target} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  qm_warnings(${target})
  include(GoogleTest)
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${T_LABELS}")
endfunction()

# qm_add_bench(<target> SOURCES ... [LIBS ...]); bench/run.sh builds and runs them all.
function(qm_add_bench target)
  if(WIN32 OR NOT QM_BENCH)
    return()
  endif()
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${B_SOURCES})
  target_link_libraries(${target} PRIVATE ${B_LIBS} benchmark::benchmark)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
  qm_warnings(${target})
endfunction()

# qm_add_fuzzer(<target> SOURCES ... [LIBS ...] CORPUS <dir>)
# A libFuzzer target (fuzz preset only). ctest runs it for QM_FUZZ_SECONDS on a scratch copy
# of the seed corpus, so CI exercises it for a bounded time.
set(QM_FUZZ_SECONDS 60 CACHE STRING "How long ctest runs each fuzzer")
function(qm_add_fuzzer target)
  if(NOT QM_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${F_SOURCES})
  target_compile_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  qm_warnings(${target})
  set(_work ${CMAKE_BINARY_DIR}/fuzz-work/${target})
  add_test(NAME ${target}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            sh -c "rm -rf '${_work}' && mkdir -p '${_work}' && cp -r '${F_CORPUS}/.' '${_work}/' && exec \"$0\" -max_total_time=${QM_FUZZ_SECONDS} -rss_limit_mb=2048 -print_final_stats=1 '${_work}'"
            $<TARGET_FILE:${target}>)
endfunction()

# Adds every direct subfolder of the current folder that has a CMakeLists.txt.
function(qm_add_subfolders)
  file(GLOB _subs LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _subs)
  foreach(_s ${_subs})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_s}/CMakeLists.txt)
      add_subdirectory(${_s})
    endif()
  endforeach()
endfunction()
