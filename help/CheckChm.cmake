# Fails the build when chmcmd did not write a compiled help file.
if(NOT EXISTS "${CHM_FILE}")
  message(FATAL_ERROR "The help compiler wrote no ${CHM_FILE}")
endif()
file(READ "${CHM_FILE}" signature LIMIT 4 HEX)
file(SIZE "${CHM_FILE}" size)
if(NOT signature STREQUAL "49545346" OR size LESS 1024)  # "ITSF"
  file(REMOVE "${CHM_FILE}")
  message(FATAL_ERROR "The help compiler wrote a damaged ${CHM_FILE}")
endif()
