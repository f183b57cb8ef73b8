# AddressSanitizer and UBSan copies of the libraries, for the test suite.
#
# Each library made by trv_library() gets a twin, trv_<folder>_asan: the same sources, include
# paths, definitions and options, compiled with the sanitizers and linking the twins of the trv_
# libraries it links. A sanitized test binary linking the twins instruments every library it
# runs, not only the one under test. Twins are built only when something links them.
#
# The ThreadSanitizer and fuzzing builds instrument every object already and make no twins.

if(TRV_BUILD_TESTS AND NOT TRV_TSAN AND NOT TRV_FUZZ)
  set(TRV_SANITIZED_COPIES ON)
else()
  set(TRV_SANITIZED_COPIES OFF)
endif()
set(TRV_SANITIZE_OPTIONS -fsanitize=address,undefined -fno-omit-frame-pointer)

# `input` with each trv_ library it names replaced by its twin (generator expressions such as
# $<LINK_ONLY:trv_x> included).
function(trv_sanitized_names input result)
  set(output "")
  foreach(item IN LISTS input)
    if(item MATCHES "(^|[<:,])trv_([A-Za-z0-9_]+)($|[>,])")
      set(name ${CMAKE_MATCH_2})
      if(name IN_LIST TRV_LIBRARY_FOLDERS)
        string(REPLACE "trv_${name}" "trv_${name}_asan" item "${item}")
      endif()
    endif()
    list(APPEND output "${item}")
  endforeach()
  set(${result} "${output}" PARENT_SCOPE)
endfunction()

# Makes the twin of trv_<folder>. Called at the end of the library's folder (trv_library defers
# it), so links and options added after trv_library() are copied too, and so are the properties
# that folder gives its source files.
function(trv_sanitized_library folder)
  set(library trv_${folder})
  set(twin ${library}_asan)
  set(properties INTERFACE_INCLUDE_DIRECTORIES INTERFACE_COMPILE_DEFINITIONS
                 INTERFACE_COMPILE_OPTIONS INTERFACE_LINK_LIBRARIES INTERFACE_LINK_OPTIONS)
  get_target_property(type ${library} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    add_library(${twin} INTERFACE)
    set(scope INTERFACE)
  else()
    get_target_property(sources ${library} SOURCES)
    add_library(${twin} STATIC EXCLUDE_FROM_ALL ${sources})
    list(APPEND properties INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS
                LINK_LIBRARIES LINK_OPTIONS AUTOMOC AUTOUIC AUTORCC)
    set(scope PUBLIC)
  endif()
  foreach(property IN LISTS properties)
    get_target_property(value ${library} ${property})
    if(value)
      trv_sanitized_names("${value}" value)
      set_property(TARGET ${twin} PROPERTY ${property} "${value}")
    endif()
  endforeach()
  if(scope STREQUAL "PUBLIC")
    # GCC's uninitialised-use analysis misfires under the sanitizers.
    target_compile_options(${twin} PRIVATE -Wno-maybe-uninitialized)
  endif()
  target_compile_options(${twin} ${scope} ${TRV_SANITIZE_OPTIONS})
  target_link_options(${twin} ${scope} -fsanitize=address,undefined)
endfunction()

# Defers the twin of trv_<folder> to the end of the current folder.
function(trv_defer_sanitized_library folder)
  if(TRV_SANITIZED_COPIES)
    cmake_language(EVAL CODE "cmake_language(DEFER CALL trv_sanitized_library ${folder})")
  endif()
endfunction()
