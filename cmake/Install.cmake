# The installed layout: programs in bin/, the library, the archiver libraries and the
# self-extractor stub together in lib/quillmere/ (the library looks for the archivers beside
# itself, the LZH archiver for the stub beside itself), the desktop entry, the icon and the help
# file under share/.
include(GNUInstallDirs)

set(QUILLMERE_PRIVATE_LIBDIR lib/quillmere)

set(programs quillmere-run)
if(TARGET quillmere)
  list(PREPEND programs quillmere)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Shared objects keep no execute bit: they are loaded, not run.
install(TARGETS quillmereDLL unlha32 cab32
        LIBRARY DESTINATION ${QUILLMERE_PRIVATE_LIBDIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(TARGETS quillmere-sfx RUNTIME DESTINATION ${QUILLMERE_PRIVATE_LIBDIR})

set(dist ${PROJECT_SOURCE_DIR}/dist)
install(FILES ${dist}/quillmere.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist}/icons/quillmere.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${dist}/icons/quillmere-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME quillmere.png)
endforeach()
# The help command looks for the help file in share/quillmere/ beside the program's bin/.
install(FILES ${dist}/QuMere_Help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmere)
install(FILES ${dist}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian's policy wants the change log and the manual pages compressed.
set(compressed)
foreach(file changelog quillmere.1 quillmere-run.1)
  set(gz ${CMAKE_BINARY_DIR}/dist/${file}.gz)
  add_custom_command(OUTPUT ${gz}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dist
                     COMMAND gzip -9nc ${dist}/${file} > ${gz}
                     DEPENDS ${dist}/${file} VERBATIM)
  list(APPEND compressed ${gz})
endforeach()
add_custom_target(quillmere_compressed_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/dist/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_BINARY_DIR}/dist/quillmere.1.gz ${CMAKE_BINARY_DIR}/dist/quillmere-run.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# In the build tree the help file lies beside the program, where the help command finds it too.
configure_file(${dist}/QuMere_Help.html ${CMAKE_BINARY_DIR}/bin/QuMere_Help.html COPYONLY)

# The Debian package: cpack -G DEB from the release build installs under /usr. CPack adds
# ldconfig calls for any library below /usr/lib; lintian warns about them, harmlessly.
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "Q_Works")
set(CPACK_PACKAGE_CONTACT "quillmere maintainers <quillmere@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch rename, duplicates, backup and mirroring of camera folders")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for people who keep large folders of digital-camera pictures:\n\
batch rename by shooting date, recovery of an interrupted rename, duplicate\n\
delete, file write-back, LZH backup, scheduled mirroring and a job runner that\n\
chains them, with a Japanese user interface. quillmere-run runs the same\n\
actions without a window, from cron or a systemd timer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CPACK_PACKAGING_INSTALL_PREFIX}/${QUILLMERE_PRIVATE_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
