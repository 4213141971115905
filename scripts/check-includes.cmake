# Fails when an engine folder includes a folder above it, or when a folder
# other than platform/ includes operating-system or ICU headers.
#
#   cmake -DROOT=<tree> -P scripts/check-includes.cmake
#
# The folders rank base < platform < core < storage, sql < catalog < the
# rest; folders of one rank may include each other.
cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT is not set")
endif()

set(rank_base 0)
set(rank_platform 1)
set(rank_core 2)
set(rank_storage 3)
set(rank_sql 3)
set(rank_catalog 4)
set(rank_eval 5)
set(rank_exec 5)
set(rank_local 5)
set(rank_net 5)
set(folders base platform core storage sql catalog eval exec local net)

# Upward includes that exist today and are still to be replaced by an
# abstract class or forward declaration in the lower folder, as
# "file|included header". Any other upward include fails, and so does an
# entry here that no longer occurs, so that the list only shrinks.
set(known_upward
  "storage/orvindexkey.cpp|catalog/orvcolumns.h"
  "storage/orvindexkey.cpp|catalog/orvindexes.h"
  "storage/orvindexmgr.cpp|catalog/orvindexes.h"
  "storage/orvindexnav.cpp|catalog/orvcolumns.h"
  "storage/orvindexnav.cpp|catalog/orvindexes.h"
  "storage/orvindexpage.cpp|catalog/orvindexes.h"
  "storage/orvlockmgr.h|catalog/orvlockable.h"
  "storage/orvlogmgr.h|catalog/orvlockable.h"
  "storage/orvobjmgr.h|catalog/orvlockable.h"
  "storage/orvrowsfile.h|catalog/orvrowvalues.h"
  "storage/orvtablefile.cpp|catalog/orvtable.h"
  "storage/orvtablemgr.cpp|catalog/orvindexes.h"
  "storage/orvtablemgr.cpp|catalog/orvtable.h"
)
set(seen_upward "")

set(system_headers "unicode/|unistd\\.h|sys/|pthread\\.h|fcntl\\.h|dlfcn\\.h|dirent\\.h|syslog\\.h")

set(faults "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    file(RELATIVE_PATH name "${ROOT}" "${source}")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"(([a-z]+)/[^\"]*)\"")
        set(header "${CMAKE_MATCH_1}")
        set(target "${CMAKE_MATCH_2}")
        if(DEFINED rank_${target} AND rank_${target} GREATER rank_${folder})
          if("${name}|${header}" IN_LIST known_upward)
            list(APPEND seen_upward "${name}|${header}")
          else()
            list(APPEND faults "${name}: ${folder}/ includes ${target}/: ${line}")
          endif()
        endif()
      elseif(NOT folder STREQUAL "platform" AND line MATCHES "#[ \t]*include[ \t]*<(${system_headers})")
        list(APPEND faults "${name}: only platform/ includes system headers: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(EXISTS "${ROOT}/storage" AND EXISTS "${ROOT}/core")
  foreach(entry IN LISTS known_upward)
    if(NOT entry IN_LIST seen_upward)
      list(APPEND faults "${entry}: listed as a known upward include but no longer there; remove it from the list")
    endif()
  endforeach()
endif()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "Includes against the folder order:\n${text}")
endif()
