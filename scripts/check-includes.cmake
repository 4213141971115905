# Fails when an engine folder includes a folder above it, or when a folder
# other than platform/ includes operating-system or ICU headers.
#
#   cmake -DROOT=<tree> -P scripts/check-includes.cmake
#
# The folders rank base < platform < core < sql < catalog < storage < eval <
# exec < local < net < server, each alone, so that no two folders can
# include each other. Where a lower folder must call a higher one, it
# declares an abstract class that the higher folder implements.
cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT is not set")
endif()

set(folders base platform core sql catalog storage eval exec local net server)
set(rank 0)
foreach(folder IN LISTS folders)
  set(rank_${folder} ${rank})
  math(EXPR rank "${rank} + 1")
endforeach()

set(system_headers "unicode/|unistd\\.h|sys/|pthread\\.h|fcntl\\.h|dlfcn\\.h|dirent\\.h|syslog\\.h")

set(faults "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    file(RELATIVE_PATH name "${ROOT}" "${source}")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"(([a-z]+)/[^\"]*)\"")
        set(target "${CMAKE_MATCH_2}")
        if(DEFINED rank_${target} AND rank_${target} GREATER rank_${folder})
          list(APPEND faults "${name}: ${folder}/ includes ${target}/: ${line}")
        endif()
      elseif(NOT folder STREQUAL "platform" AND line MATCHES "#[ \t]*include[ \t]*<(${system_headers})")
        list(APPEND faults "${name}: only platform/ includes system headers: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "Includes against the folder order:\n${text}")
endif()
