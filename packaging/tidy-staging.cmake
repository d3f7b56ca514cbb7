# Run by CPack on the staged tree before it is packed: shared libraries installed as plain files
# (the speech engine's, a built-in engine's) are stripped of debugging symbols and made
# non-executable like every library a distribution ships.
file(GLOB_RECURSE libraries LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.so" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.so.*")
foreach(library IN LISTS libraries)
  execute_process(COMMAND strip --strip-unneeded --remove-section=.comment ${library} COMMAND_ERROR_IS_FATAL ANY)
  file(CHMOD ${library} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
message(STATUS "tidied ${CPACK_TEMPORARY_INSTALL_DIRECTORY}: ${libraries}")
