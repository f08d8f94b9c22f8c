# Libraries see only the headers of what they link. Each library's public include
# directory is a folder of its own under the build tree holding one link, to the
# library's source folder, so "engine/x.h" is found from a library only if it links the
# engine's library: an include that goes up the layers fails to build. (Quoted includes
# look in the including file's own folder first, which holds only its own library.)
include_guard(GLOBAL)

# qb_expose_folder(<target> <folder relative to the source root> [INTERFACE])
function(qb_expose_folder target folder)
  set(stage ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${stage}/${parent})
  if(NOT EXISTS ${stage}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${stage}/${folder} SYMBOLIC)
  endif()
  if(ARGV2 STREQUAL "INTERFACE")
    target_include_directories(${target} INTERFACE ${stage})
  else()
    target_include_directories(${target} PUBLIC ${stage})
  endif()
endfunction()

# qb_layer_test(<target> OWN <header> FORBID <header>...): compiles an include of each
# header with exactly the include path <target> builds with. The OWN header must be
# found (so that a broken path cannot pass the rest); each FORBID header, one from a
# layer above, must not. Native builds only: this is about the build's layout.
function(qb_layer_test target)
  cmake_parse_arguments(L "" "OWN" "FORBID" ${ARGN})
  if(WIN32 OR NOT QB_TESTS)
    return()
  endif()
  set(flags "-I$<JOIN:$<TARGET_PROPERTY:${target},INCLUDE_DIRECTORIES>,$<SEMICOLON>-I>")
  set(probes ${CMAKE_BINARY_DIR}/layers/probes)
  file(WRITE ${probes}/${target}_own.cpp "#include \"${L_OWN}\"\n")
  add_test(NAME layers_${target}_own
    COMMAND ${CMAKE_CXX_COMPILER} -std=c++17 -fsyntax-only ${flags} ${probes}/${target}_own.cpp
    COMMAND_EXPAND_LISTS)
  set_tests_properties(layers_${target}_own PROPERTIES LABELS layers)
  foreach(header ${L_FORBID})
    string(MAKE_C_IDENTIFIER "${target}_${header}" id)
    file(WRITE ${probes}/${id}.cpp "#include \"${header}\"\n")
    add_test(NAME layers_${id}
      COMMAND ${CMAKE_CXX_COMPILER} -std=c++17 -fsyntax-only ${flags} ${probes}/${id}.cpp
      COMMAND_EXPAND_LISTS)
    set_tests_properties(layers_${id} PROPERTIES
      PASS_REGULAR_EXPRESSION "${header}: No such file" LABELS layers)
  endforeach()
endfunction()
