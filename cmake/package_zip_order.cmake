# Run by CPack after it has written the zip file: writes it again with the
# files in sorted order, as CPack takes them in the order the file system
# lists them, which differs from machine to machine. The times are those
# package_times.cmake gave the staged files.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.zip$")
    continue()
  endif()
  get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
  get_filename_component(folder ${CPACK_TEMPORARY_DIRECTORY} NAME)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${top} ${CPACK_TEMPORARY_DIRECTORY}/*)
  list(SORT files)
  list(JOIN files "\n" listing)
  file(WRITE ${top}/${folder}.files "${listing}\n")
  file(REMOVE ${package})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${package} --format=zip --files-from=${folder}.files
    WORKING_DIRECTORY ${top} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "could not write ${package} again in sorted order")
  endif()
endforeach()
