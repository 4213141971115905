# Fails when a token slot is read or written by a bare number: a call of
# TokenSlot(...) or SlotOf(...) whose index holds a numeric literal, in an
# engine folder, the tests or the benchmarks.
#
#   cmake -DROOT=<tree> -P scripts/check-slot-names.cmake
#
# A node's layout is stated once, by the names in the slot headers
# (sql/orvtokenslots.h, sql/orvstmtslots.h, sql/orvroutineslots.h), so that
# moving a slot is one edit there rather than a hunt for numbers.
cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT is not set")
endif()

set(folders base platform core sql catalog storage eval exec local net server tests bench)
set(slot_headers sql/orvtokenslots.h sql/orvstmtslots.h sql/orvroutineslots.h)
# The self-test's sample tree reads a slot by number on purpose.
set(sample_tree "tests/support/slotnames/")

# A call with up to two levels of nested parentheses in its arguments; the
# text is scanned with brackets turned into angles, since CMake's lists
# treat an unbalanced bracket as quoting.
set(inner "\\([^();]*\\)")
set(nested "\\(([^();]|${inner})*\\)")
set(call "(TokenSlot|SlotOf)[ \t]*\\(([^();]|${nested})*\\)")

set(faults "")
foreach(folder IN LISTS folders)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(RELATIVE_PATH name "${ROOT}" "${source}")
    if(name IN_LIST slot_headers OR name MATCHES "^${sample_tree}")
      continue()
    endif()
    file(READ "${source}" text)
    if(NOT text MATCHES "(TokenSlot|SlotOf)")
      continue()
    endif()
    string(REPLACE "[" "<" text "${text}")
    string(REPLACE "]" ">" text "${text}")
    string(REGEX REPLACE "//[^\n]*" "" text "${text}")
    # Calls nested in a call's arguments are scanned in their turn.
    set(pending "${text}")
    while(pending)
      string(REGEX MATCHALL "${call}" calls "${pending}")
      set(pending "")
      foreach(found IN LISTS calls)
        string(REGEX REPLACE "^[A-Za-z]+[ \t]*\\((.*)\\)$" "\\1" arguments "${found}")
        string(APPEND pending "${arguments}\n")
        # The index is the last argument once nested calls are folded away.
        set(folded "${arguments}")
        while(folded MATCHES "\\(")
          string(REGEX REPLACE "[A-Za-z_0-9]*[ \t]*\\([^()]*\\)" "x" folded "${folded}")
        endwhile()
        string(REGEX REPLACE "^.*," "" index "${folded}")
        if(index MATCHES "(^|[^A-Za-z_0-9.])[0-9]")
          string(REGEX REPLACE "[ \t\n]+" " " shown "${found}")
          list(APPEND faults "${name}: slot read by number: ${shown}")
        endif()
      endforeach()
    endwhile()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "Token slots read by number; name them in the slot headers:\n${text}")
endif()
