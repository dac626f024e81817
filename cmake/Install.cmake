# Installation: a complete program folder, a launcher on PATH, the desktop
# entry with its icon, the AppStream metadata, the manual page and the
# package documents.
#   <prefix>/lib/dvd-zento/          DVD_zento, profile.txt, Readme.txt
#   <prefix>/bin/dvd-zento           -> ../lib/dvd-zento/DVD_zento
#   <prefix>/share/applications/dvd-zento.desktop
#   <prefix>/share/icons/hicolor/scalable/apps/dvd-zento.svg
#   <prefix>/share/metainfo/org.example.dvd_zento.metainfo.xml
#   <prefix>/share/man/man1/dvd-zento.1.gz
#   <prefix>/share/doc/dvd-zento/    copyright, changelog.gz
# A program folder the user can write (--prefix ~/.local) keeps the settings
# and stored presets beside the program; a read-only one (a package under
# /usr) makes the program keep them in each user's own folders.

set(ZENTO_INSTALL_PROGRAM_DIR lib/dvd-zento)
set(ZENTO_METAINFO_ID org.example.dvd_zento)
# Directories as Debian expects them, whatever the umask of the build.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Compressed documents, made without names or times in their headers so that
# the same sources give the same bytes.
set(zento_gzipped)
foreach(doc IN ITEMS dvd-zento.1 changelog)
  set(gz ${PROJECT_BINARY_DIR}/install/${doc}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/install
    COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/data/${doc} > ${gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/${doc}
    COMMENT "Compressing ${doc}"
    VERBATIM)
  list(APPEND zento_gzipped ${gz})
endforeach()
add_custom_target(zento_install_documents ALL DEPENDS ${zento_gzipped})

install(TARGETS DVD_zento RUNTIME DESTINATION ${ZENTO_INSTALL_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/profile.txt ${PROJECT_SOURCE_DIR}/data/Readme.txt
        DESTINATION ${ZENTO_INSTALL_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/dvd-zento.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/dvd-zento.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/data/dvd-zento.metainfo.xml DESTINATION share/metainfo
        RENAME ${ZENTO_METAINFO_ID}.metainfo.xml)
install(FILES ${PROJECT_BINARY_DIR}/install/dvd-zento.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${PROJECT_BINARY_DIR}/install/changelog.gz
        DESTINATION share/doc/dvd-zento)

# The launcher is a relative link: the program takes its folder from its own
# resolved path, so it finds profile.txt in lib/dvd-zento, not in bin, and the
# installed tree can be moved as a whole.
install(CODE [[
  set(zento_bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(MAKE_DIRECTORY "${zento_bin}")
  file(REMOVE "${zento_bin}/dvd-zento")
  file(CREATE_LINK ../lib/dvd-zento/DVD_zento "${zento_bin}/dvd-zento" SYMBOLIC)
  message(STATUS "Installing: ${zento_bin}/dvd-zento")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${zento_bin}/dvd-zento")
]])
