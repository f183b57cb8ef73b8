# The layering of the src/ libraries, proved by the build.
#
# TRV_LIBRARY_FOLDERS lists the libraries lowest first. A library sees (includes and links) only
# itself and the libraries listed before it; views, dialogs, services and reports see none of
# each other; nothing below src/document links Qt, nothing below src/controls Qt Widgets.
#
# Includes: each library's include path is a view of src/ holding only the folders it may see
# (symbolic links under <build>/layers/<folder>), with a stub after it for every header it may
# not see, so an upward #include stops the build with a message naming both libraries.
# Links: trv_check_layers() checks every library's links once all of them are declared.

set(TRV_PEER_FOLDERS views dialogs services reports)
set(TRV_QT_LOWEST_FOLDER document)
set(TRV_QT_WIDGETS_LOWEST_FOLDER controls)

# Whether `folder` may see `other` (itself or a library below it that is not its peer).
function(trv_layer_sees folder other result)
  list(FIND TRV_LIBRARY_FOLDERS ${folder} own_index)
  list(FIND TRV_LIBRARY_FOLDERS ${other} other_index)
  set(sees FALSE)
  if(other STREQUAL folder)
    set(sees TRUE)
  elseif(other_index GREATER_EQUAL 0 AND other_index LESS own_index)
    set(sees TRUE)
    if(folder IN_LIST TRV_PEER_FOLDERS AND other IN_LIST TRV_PEER_FOLDERS)
      set(sees FALSE)
    endif()
  endif()
  set(${result} ${sees} PARENT_SCOPE)
endfunction()

# The include folder of a library's layer: links to the src/ folders it may see.
function(trv_layer_include_dir folder result)
  set(view ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${view})
  foreach(other IN LISTS TRV_LIBRARY_FOLDERS)
    trv_layer_sees(${folder} ${other} sees)
    if(sees AND IS_DIRECTORY ${CMAKE_SOURCE_DIR}/src/${other} AND NOT EXISTS ${view}/${other})
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${other} ${view}/${other} SYMBOLIC)
    endif()
  endforeach()
  set(${result} ${view} PARENT_SCOPE)
endfunction()

# A folder searched after the layer's own: one stub per header of the libraries the layer may
# not see, each an #error that names both libraries.
function(trv_layer_stub_dir folder result)
  set(stubs ${CMAKE_BINARY_DIR}/layers/${folder}.above)
  foreach(other IN LISTS TRV_LIBRARY_FOLDERS)
    trv_layer_sees(${folder} ${other} sees)
    if(sees OR NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/src/${other})
      continue()
    endif()
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${other}/*.h)
    foreach(header IN LISTS headers)
      file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR}/src ${header})
      file(CONFIGURE OUTPUT ${stubs}/${relative} CONTENT
        "#error \"trv_${folder} includes ${relative} of trv_${other}, which is not below it\"\n" @ONLY)
    endforeach()
  endforeach()
  file(MAKE_DIRECTORY ${stubs})
  set(${result} ${stubs} PARENT_SCOPE)
endfunction()

# Compiles `target` with the layer of `folder`: its own view, then the stubs.
function(trv_use_layer target folder)
  trv_layer_stub_dir(${folder} stubs)
  target_compile_options(${target} PRIVATE "SHELL:-idirafter ${stubs}")
endfunction()

# Fails the configuration for each link that breaks the layering.
function(trv_check_layers)
  list(FIND TRV_LIBRARY_FOLDERS ${TRV_QT_LOWEST_FOLDER} qt_index)
  list(FIND TRV_LIBRARY_FOLDERS ${TRV_QT_WIDGETS_LOWEST_FOLDER} widgets_index)
  foreach(folder IN LISTS TRV_LIBRARY_FOLDERS)
    set(library trv_${folder})
    if(NOT TARGET ${library})
      continue()
    endif()
    list(FIND TRV_LIBRARY_FOLDERS ${folder} own_index)
    get_target_property(type ${library} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${library} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(links ${library} LINK_LIBRARIES)
    endif()
    if(NOT links)
      continue()
    endif()
    foreach(link IN LISTS links)
      if(link MATCHES "^trv_(.+)$")
        set(other ${CMAKE_MATCH_1})
        if(NOT other IN_LIST TRV_LIBRARY_FOLDERS)
          continue()
        endif()
        trv_layer_sees(${folder} ${other} sees)
        if(sees)
          continue()
        endif()
        if(folder IN_LIST TRV_PEER_FOLDERS AND other IN_LIST TRV_PEER_FOLDERS)
          message(SEND_ERROR "${library} links ${link}: views, dialogs, services and reports "
            "link none of each other; share an interface declared in src/document or lower")
        else()
          message(SEND_ERROR "${library} links ${link}, which is not below it: a library links "
            "only libraries listed before it in TRV_LIBRARY_FOLDERS")
        endif()
      elseif(link MATCHES "^Qt[0-9]*::(.+)$")
        set(module ${CMAKE_MATCH_1})
        if(own_index LESS qt_index)
          message(SEND_ERROR "${library} links ${link}: libraries below "
            "trv_${TRV_QT_LOWEST_FOLDER} use no Qt")
        elseif(own_index LESS widgets_index AND module MATCHES "^(Widgets|Gui)$")
          message(SEND_ERROR "${library} links ${link}: libraries below "
            "trv_${TRV_QT_WIDGETS_LOWEST_FOLDER} use QtCore only")
        endif()
      endif()
    endforeach()
  endforeach()
endfunction()
