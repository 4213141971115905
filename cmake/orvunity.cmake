# Unity builds: a target's sources compile in batches, each batch one
# translation unit, so that the standard, test-framework and engine headers
# are parsed once per batch instead of once per file. At -O0 most of a
# file's compile time is spent parsing headers.
#
# A batch must compile to the same program as the files one by one. Sources
# that could change a neighbour's meaning compile alone:
#   - a file-scope `using namespace` stays in force for the files after it;
#   - a macro that its file does not #undef stays defined for them;
#   - files listed in ORV_UNITY_ALONE (below), whose file-local names would
#     meet another file's in one batch (two helpers of one name in anonymous
#     namespaces either fail to compile or, worse, overload each other).

option(ORV_UNITY "Compile the engine and tests in unity batches" ON)
# Larger batches parse fewer headers but leave fewer compiles to share the
# cores, and the more files a batch holds, the likelier two of them clash.
set(ORV_UNITY_BATCH 8 CACHE STRING "Source files per unity batch")

# Paths relative to the repository root, with the reason each one compiles
# alone.
set(ORV_UNITY_ALONE
  # file-local helpers, constants and test types whose names other files of
  # their folder use as well: some clash, some would silently overload
  # (FoldCase in platform/, ErrorOf in tests/sql/)
  catalog/orvcatalogexpr.cpp
  catalog/orvcolumns.cpp
  catalog/orvconstraint.cpp
  catalog/orvindexes.cpp
  catalog/orvroutine.cpp
  catalog/orvview.cpp
  platform/orvplatformlocale.cpp
  sql/orvparseddl.cpp
  sql/orvparseexpr.cpp
  sql/orvparseproc.cpp
  sql/orvparsestmt.cpp
  sql/orvvalidatefunc.cpp
  sql/orvvalidatejoin.cpp
  sql/orvvalidatequery.cpp
  tests/catalog/orvmodule_test.cpp
  tests/catalog/orvselection_test.cpp
  tests/catalog/orvtrigger_test.cpp
  tests/core/orvcursor_test.cpp
  tests/core/orvparam_test.cpp
  tests/core/orvreferencevalue_test.cpp
  tests/core/orvthread_test.cpp
  tests/sql/orvexprcatalog_test.cpp
  tests/sql/orvexprtoken_test.cpp
  tests/sql/orvparsequery_test.cpp
  tests/sql/orvparser_test.cpp
  tests/sql/orvtokenizer_test.cpp
  tests/storage/orvindexpage_test.cpp
  tests/storage/orvobjmgr_test.cpp
  tests/storage/orvtablemodel_test.cpp
)

# Marks the sources of target that may not share a batch, then turns the
# unity build on for it.
function(orv_unity target)
  if(NOT ORV_UNITY)
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  foreach(src IN LISTS sources)
    if(NOT src MATCHES "\\.cpp$")
      continue()
    endif()
    if(NOT IS_ABSOLUTE "${src}")
      set(src "${source_dir}/${src}")
    endif()
    file(RELATIVE_PATH rel "${PROJECT_SOURCE_DIR}" "${src}")
    set(alone FALSE)
    if(rel IN_LIST ORV_UNITY_ALONE)
      set(alone TRUE)
    else()
      file(READ "${src}" text)
      string(REGEX MATCHALL "(^|\n)(using namespace |#[ \t]*(define|undef)[ \t]+[A-Za-z_][A-Za-z0-9_]*)"
             directives "${text}")
      set(defined)
      set(undefined)
      foreach(line IN LISTS directives)
        if(line MATCHES "using namespace ")
          set(alone TRUE)
        elseif(line MATCHES "#[ \t]*define[ \t]+([A-Za-z_][A-Za-z0-9_]*)")
          list(APPEND defined "${CMAKE_MATCH_1}")
        elseif(line MATCHES "#[ \t]*undef[ \t]+([A-Za-z_][A-Za-z0-9_]*)")
          list(APPEND undefined "${CMAKE_MATCH_1}")
        endif()
      endforeach()
      foreach(name IN LISTS defined)
        if(NOT name IN_LIST undefined)
          set(alone TRUE)
        endif()
      endforeach()
    endif()
    if(alone)
      set_source_files_properties("${src}" TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${ORV_UNITY_BATCH})
endfunction()
