# Fails when a room of shell/ includes a room listed after it in the Layout
# table of README.md: the rooms are layered one way, in the order the table
# lists them. A room folder missing from the table fails too, so that a new
# room takes its place in that order.
#
#   cmake -DSOURCE_DIR=<repository> -P CheckRoomLayering.cmake

cmake_minimum_required(VERSION 3.22)

file(STRINGS "${SOURCE_DIR}/README.md" rows REGEX "^\\| `shell/[a-z0-9_]+/` \\|")
set(rooms "")
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\\| `shell/([a-z0-9_]+)/`.*" "\\1" room "${row}")
  list(APPEND rooms "${room}")
endforeach()
list(LENGTH rooms room_count)
if(room_count LESS 2)
  message(FATAL_ERROR "README.md lists no rooms of shell/ in its Layout table")
endif()

set(problems "")
file(GLOB folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}/shell" "${SOURCE_DIR}/shell/*")
foreach(folder IN LISTS folders)
  if(IS_DIRECTORY "${SOURCE_DIR}/shell/${folder}" AND NOT folder IN_LIST rooms)
    string(APPEND problems "\n  shell/${folder}/ is not in README.md's Layout table")
  endif()
endforeach()

foreach(room IN LISTS rooms)
  list(FIND rooms "${room}" room_rank)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/shell/${room}/*.hpp" "${SOURCE_DIR}/shell/${room}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"shell/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE ".*\"shell/([^/\"]+)/.*" "\\1" used "${line}")
      list(FIND rooms "${used}" used_rank)
      if(used_rank GREATER room_rank)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND problems "\n  ${shown} includes shell/${used}/, a room listed after shell/${room}/")
      elseif(used_rank EQUAL -1)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND problems "\n  ${shown} includes shell/${used}/, which is not a room")
      endif()
    endforeach()
  endforeach()
endforeach()

if(problems)
  message(FATAL_ERROR "shell/ rooms include upwards:${problems}")
endif()
