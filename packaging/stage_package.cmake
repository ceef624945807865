# Run by CPack once it has installed a package's files in its staging
# directory, before it packs them: directories as Debian wants them, whatever
# the umask of whoever builds (files get their modes from install()), and
# every entry the one time of the packages, as dpkg-deb only lowers later ones.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(entry IN LISTS entries ITEMS "${CPACK_TEMPORARY_DIRECTORY}")
  if(IS_DIRECTORY "${entry}")
    file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
endforeach()
execute_process(COMMAND touch --no-dereference --date=@$ENV{SOURCE_DATE_EPOCH} ${entries}
                COMMAND_ERROR_IS_FATAL ANY)
