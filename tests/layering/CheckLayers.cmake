# Configures scratch copies of the source tree with one layering fault each and expects the
# build to refuse it with a message naming both libraries:
#   1. src/params links trv_model: the configuration fails;
#   2. a header of src/params includes one of src/model: its header check unit fails to build.
# Run with -DSOURCE_DIR=... -DSCRATCH_DIR=... -DGENERATOR=... -DCXX_COMPILER=...

function(copy_tree target)
  file(REMOVE_RECURSE ${target})
  file(MAKE_DIRECTORY ${target})
  file(COPY ${SOURCE_DIR}/CMakeLists.txt ${SOURCE_DIR}/cmake ${SOURCE_DIR}/src
       DESTINATION ${target})
endfunction()

function(configure source build output result)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${source} -B ${build} -G ${GENERATOR}
            -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DTRV_BUILD_TESTS=OFF -DTRV_BUILD_BENCH=OFF
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE code)
  set(${output} "${out}${err}" PARENT_SCOPE)
  set(${result} ${code} PARENT_SCOPE)
endfunction()

function(expect_refusal what code output pattern)
  if(code EQUAL 0)
    message(FATAL_ERROR "${what}: accepted, expected a refusal")
  endif()
  if(NOT output MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: refused without a message matching '${pattern}':\n${output}")
  endif()
  message(STATUS "${what}: refused as expected")
endfunction()

# 1. An upward link.
set(tree ${SCRATCH_DIR}/upward_link)
copy_tree(${tree})
file(APPEND ${tree}/src/params/CMakeLists.txt "target_link_libraries(trv_params PUBLIC trv_model)\n")
configure(${tree} ${tree}/build output code)
expect_refusal("params linking model" "${code}" "${output}" "trv_params links trv_model")

# 2. An upward include, compiled by its header check unit alone.
set(tree ${SCRATCH_DIR}/upward_include)
copy_tree(${tree})
file(WRITE ${tree}/src/params/UpwardProbe.h "#pragma once\n#include \"model/TimeWindow.h\"\n")
configure(${tree} ${tree}/build output code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the tree with an upward include does not configure:\n${output}")
endif()
set(unit_object CMakeFiles/trv_header_check_params.dir/header_check/params_UpwardProbe_h.cpp.o)
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${tree}/build --target ${unit_object}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE code)
expect_refusal("params including model" "${code}" "${out}${err}"
  "trv_params includes model/TimeWindow.h of trv_model")
file(REMOVE_RECURSE ${SCRATCH_DIR})
