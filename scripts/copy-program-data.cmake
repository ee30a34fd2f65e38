# SPDX-License-Identifier: GPL-3.0-or-later
# Brings the shipped files of SOURCE into the program directory DESTINATION without ever
# overwriting what a lab changed there (an edited template, the help): a file is copied where
# none is, and replaced only while it is still exactly the copy shipped last time (kept under
# SHIPPED). Run as: cmake -DSOURCE=... -DDESTINATION=... -DSHIPPED=... -P copy-program-data.cmake
foreach(variable SOURCE DESTINATION SHIPPED)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "copy-program-data: ${variable} is not given")
  endif()
endforeach()

file(GLOB_RECURSE shipped RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(name IN LISTS shipped)
  set(target ${DESTINATION}/${name})
  set(record ${SHIPPED}/${name})
  set(copy FALSE)
  if(NOT EXISTS ${target})
    set(copy TRUE)
  elseif(NOT EXISTS ${record})
    # Found as shipped (a program directory older than this record): later releases may
    # replace it as long as nobody changes it.
    file(SHA256 ${target} targetHash)
    file(SHA256 ${SOURCE}/${name} sourceHash)
    if(targetHash STREQUAL sourceHash)
      get_filename_component(recordDirectory ${record} DIRECTORY)
      file(MAKE_DIRECTORY ${recordDirectory})
      file(COPY_FILE ${SOURCE}/${name} ${record})
    endif()
  else()
    file(SHA256 ${target} targetHash)
    file(SHA256 ${record} recordHash)
    file(SHA256 ${SOURCE}/${name} sourceHash)
    if(targetHash STREQUAL recordHash AND NOT sourceHash STREQUAL recordHash)
      set(copy TRUE)
    endif()
  endif()
  if(copy)
    get_filename_component(targetDirectory ${target} DIRECTORY)
    get_filename_component(recordDirectory ${record} DIRECTORY)
    file(MAKE_DIRECTORY ${targetDirectory} ${recordDirectory})
    file(COPY_FILE ${SOURCE}/${name} ${target})
    file(COPY_FILE ${SOURCE}/${name} ${record})
  endif()
endforeach()
