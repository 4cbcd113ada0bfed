# Run by CPack on its staging tree just before it makes the package. The
# folders there were created under the umask of whoever ran cpack; a package
# made under umask 077 would create folders such as /usr/share/km302 that
# only root can enter, so the program could not find its help page. Every
# folder gets rwxr-xr-x; files keep the modes the install rules gave them.
file(GLOB_RECURSE entries LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
set(folders)
foreach(entry IN LISTS entries)
  if(IS_DIRECTORY "${entry}" AND NOT IS_SYMLINK "${entry}")
    list(APPEND folders "${entry}")
  endif()
endforeach()
if(folders)
  file(CHMOD ${folders} DIRECTORY_PERMISSIONS
       OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()
