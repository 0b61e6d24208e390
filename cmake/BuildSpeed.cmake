# Compile time. Most of a translation unit's time goes into parsing the Qt headers (a dialog's
# source: 4.0 s, of which 1.8 s remain once the headers are precompiled), so:
# - one precompiled header of the Qt headers most sources use, built once per build tree by
#   glimora_qt_pch and reused by every target that compiles against Qt Widgets;
# - the static libraries compiled as unity builds (their sources merged into one unit).
# The precompiled header is made with the defines every such target shares (QT_CORE_LIB,
# QT_NO_DEBUG, _REENTRANT); targets may add their own (QT_WIDGETS_LIB, QT_TESTLIB_LIB, ...), which
# the precompiled Qt headers do not test. -Winvalid-pch (added by CMake) names any target where it
# would not be used. Qt Test is left out: its headers read QT_TESTCASE_BUILDDIR, which differs per
# test. Targets on Qt Core alone (support, vantrel, the serial command set) stay without it, so
# that they do not see widget declarations.
option(GLIMORA_PCH "Precompile the Qt headers shared by the libraries, the program and the tests" ON)
option(GLIMORA_UNITY "Compile each static library as one unit" ON)

# Qt Print Support asks for _REENTRANT; defining it everywhere keeps one precompiled header valid
# for every target (glibc treats it as a no-op).
add_compile_definitions(_REENTRANT)

if(GLIMORA_PCH)
  add_library(glimora_qt_pch OBJECT ${PROJECT_SOURCE_DIR}/cmake/QtPrecompiled.cpp)
  foreach(module Core Gui Widgets)
    target_include_directories(glimora_qt_pch SYSTEM PRIVATE $<TARGET_PROPERTY:Qt6::${module},INTERFACE_INCLUDE_DIRECTORIES>)
  endforeach()
  target_compile_definitions(glimora_qt_pch PRIVATE QT_CORE_LIB $<$<NOT:$<CONFIG:Debug>>:QT_NO_DEBUG>)
  target_compile_options(glimora_qt_pch PRIVATE $<TARGET_PROPERTY:Qt6::Core,INTERFACE_COMPILE_OPTIONS>)
  set_target_properties(glimora_qt_pch PROPERTIES POSITION_INDEPENDENT_CODE ON AUTOMOC OFF)
  target_precompile_headers(glimora_qt_pch PRIVATE ${PROJECT_SOURCE_DIR}/cmake/QtPrecompiled.h)
endif()

# Whether target links Qt Widgets, directly or through the libraries it links.
function(glimora_uses_widgets target result)
  set(seen "")
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    if(current STREQUAL "Qt6::Widgets")
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(TARGET ${link})
        list(APPEND queue ${link})
      endif()
    endforeach()
  endwhile()
  set(${result} FALSE PARENT_SCOPE)
endfunction()

# Whether AUTOMOC finds nothing for target's mocs_compilation.cpp: no header among its sources, or
# beside a source of the same name, declares a Q_OBJECT, Q_GADGET or Q_NAMESPACE (a suite includes
# its own .moc). Such a file holds one line, yet with the precompiled header it would take seconds
# to compile, loading the header; so it is compiled without it. A guess that is wrong costs time,
# never correctness.
function(glimora_mocs_empty target result)
  get_target_property(automoc ${target} AUTOMOC)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  set(${result} FALSE PARENT_SCOPE)
  if(NOT automoc)
    return()
  endif()
  foreach(source IN LISTS sources)
    if(NOT IS_ABSOLUTE "${source}")
      set(source "${folder}/${source}")
    endif()
    get_filename_component(base "${source}" NAME_WLE)
    get_filename_component(where "${source}" DIRECTORY)
    foreach(header "${where}/${base}.h" "${where}/${base}_p.h")
      if(EXISTS "${header}")
        file(STRINGS "${header}" declares REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE")
        if(declares)
          return()
        endif()
      endif()
    endforeach()
  endforeach()
  set(${result} TRUE PARENT_SCOPE)
endfunction()

# Applies the above to every C++ target declared in folder and below it.
function(glimora_speed_up_builds folder)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|EXECUTABLE)$" OR target STREQUAL "glimora_qt_pch")
      continue()
    endif()
    if(GLIMORA_UNITY AND type STREQUAL "STATIC_LIBRARY")
      set_target_properties(${target} PROPERTIES UNITY_BUILD ON)
    endif()
    if(GLIMORA_PCH)
      glimora_uses_widgets(${target} widgets)
      if(widgets)
        target_precompile_headers(${target} REUSE_FROM glimora_qt_pch)
        glimora_mocs_empty(${target} empty)
        if(empty)
          get_target_property(binary ${target} BINARY_DIR)
          set_source_files_properties(${binary}/${target}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${target}
                                      PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
        endif()
      endif()
    endif()
  endforeach()
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    glimora_speed_up_builds(${subfolder})
  endforeach()
endfunction()
