# Run by CPack on its staging folder before it packs it: every file and
# folder gets the same time (LUMIRUN_PACKAGE_TIME, seconds since 1970), so
# that the package's bytes do not depend on when it was built.
execute_process(COMMAND find ${CPACK_TEMPORARY_DIRECTORY} -exec touch -h -d @${LUMIRUN_PACKAGE_TIME} {} +
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not set the times of the packaged files")
endif()
