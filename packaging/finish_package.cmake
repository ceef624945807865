# Run by CPack after it makes each package, before it copies it out: leaves
# nothing in the package to chance, then lists it in SHA256SUMS beside the
# packages, as `sha256sum -c` reads it. CPack has already taken every time it
# writes from SOURCE_DATE_EPOCH (cpack_options.cmake sets it).
set(epoch "$ENV{SOURCE_DATE_EPOCH}")

if(CPACK_GENERATOR STREQUAL "TGZ")
  # CPack's tarball holds its entries in the order the file system lists them,
  # owned by whoever built it; GNU tar makes it again, sorted and owned by root.
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    string(REGEX REPLACE "\\.gz$" "" tarball "${package}")
    execute_process(
      COMMAND tar --create --file=${tarball} --format=gnu --sort=name --owner=0 --group=0
              --numeric-owner --mtime=@${epoch} --directory=${CPACK_TOPLEVEL_DIRECTORY}
              ${CPACK_PACKAGE_FILE_NAME}
      COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND gzip -9nf ${tarball} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
elseif(CPACK_GENERATOR STREQUAL "DEB")
  # CPack counts each directory into Installed-Size at its size on the file
  # system it builds on, and gives the archive's members the builder's umask;
  # dpkg-deb packs the same files and control again, sorted, owned by root,
  # its times clamped to SOURCE_DATE_EPOCH, Installed-Size counted as dpkg does.
  set(root "${CPACK_TOPLEVEL_DIRECTORY}/dpkg-deb")
  file(REMOVE_RECURSE "${root}")
  file(MAKE_DIRECTORY "${root}/DEBIAN")
  file(RENAME "${CPACK_TEMPORARY_DIRECTORY}/usr" "${root}/usr")
  foreach(control IN ITEMS control md5sums)
    file(COPY_FILE "${CPACK_TEMPORARY_DIRECTORY}/${control}" "${root}/DEBIAN/${control}")
    file(CHMOD "${root}/DEBIAN/${control}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  file(CHMOD "${root}" "${root}/DEBIAN" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true "${root}/usr/*")
  set(kib 1)  # usr itself
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY "${entry}")
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE "${entry}" bytes)
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()
  file(READ "${root}/DEBIAN/control" control)
  string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kib}" control "${control}")
  file(WRITE "${root}/DEBIAN/control" "${control}")
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build "${root}" "${package}"
                    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  # Order, owners, modes and the times CPack writes in local time: Debian's
  # tool for this, as the zip format has more places for them than CPack sets.
  find_program(STRIP_NONDETERMINISM strip-nondeterminism)
  if(NOT STRIP_NONDETERMINISM)
    message(FATAL_ERROR "the zip needs strip-nondeterminism (apt-get install strip-nondeterminism)")
  endif()
  foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND ${STRIP_NONDETERMINISM} --type zip --timestamp ${epoch} ${package}
                    COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()

# This generator's packages as they are now; the others of this version as
# they stand in the package directory.
set(sums "")
set(made "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name "${package}" NAME)
  file(SHA256 "${package}" hash)
  list(APPEND made "${name}")
  list(APPEND sums "${hash}  ${name}")
endforeach()
file(GLOB others "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}*${CPACK_PACKAGE_VERSION}*")
foreach(package IN LISTS others)
  get_filename_component(name "${package}" NAME)
  if(NOT name IN_LIST made)
    file(SHA256 "${package}" hash)
    list(APPEND sums "${hash}  ${name}")
  endif()
endforeach()
list(SORT sums)
list(JOIN sums "\n" text)
file(WRITE "${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS" "${text}\n")
