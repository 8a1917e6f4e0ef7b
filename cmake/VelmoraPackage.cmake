include_guard(GLOBAL)

# The Debian package (cpack -G DEB, or the "package" target): the three commands, the help file,
# the demo database, a menu entry with its icon and the manual pages. The program finds its help
# file and demo database beside its executable, so they all live in /usr/lib/velmora and the
# commands are linked into /usr/bin.

set(velmora_libdir lib/velmora)
set(velmora_commands velmora-export velmora-eml2pdf velmora-store)
if(VELMORA_GUI)
    list(PREPEND velmora_commands velmora)
    install(FILES ${CMAKE_BINARY_DIR}/Help.chm DESTINATION ${velmora_libdir})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmora.desktop DESTINATION share/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/src/app/artwork/logo.svg
            DESTINATION share/icons/hicolor/scalable/apps RENAME velmora.svg)
endif()
install(TARGETS ${velmora_commands} RUNTIME DESTINATION ${velmora_libdir})
install(FILES ${CMAKE_BINARY_DIR}/demo/Demo.nsf DESTINATION ${velmora_libdir}/demo)
install(FILES ${PROJECT_SOURCE_DIR}/docs/many-mail-files.md DESTINATION share/doc/velmora)

# Links and compressed manual pages, made in the build tree and installed as they are.
set(staged ${CMAKE_BINARY_DIR}/package-staging)
set(staged_files "")
foreach(command IN LISTS velmora_commands)
    add_custom_command(OUTPUT ${staged}/bin/${command}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${staged}/bin
        COMMAND ${CMAKE_COMMAND} -E create_symlink ../lib/velmora/${command}
                ${staged}/bin/${command}
        VERBATIM)
    list(APPEND staged_files ${staged}/bin/${command})
    install(FILES ${staged}/bin/${command} DESTINATION bin)
    set(page ${PROJECT_SOURCE_DIR}/packaging/man/${command}.1)
    add_custom_command(OUTPUT ${staged}/man/${command}.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${staged}/man
        COMMAND sh -c "gzip -9n < '${page}' > '${staged}/man/${command}.1.gz'"
        DEPENDS ${page}
        VERBATIM)
    list(APPEND staged_files ${staged}/man/${command}.1.gz)
    install(FILES ${staged}/man/${command}.1.gz DESTINATION share/man/man1)
endforeach()
add_custom_target(velmora_package_files ALL DEPENDS ${staged_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR Quarnix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quarnix <support@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turn the mail of Lotus Notes databases into PDF documents")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Velmora reads Lotus Notes mail databases (.nsf) without Notes and writes one PDF per\n"
    "message, in a folder tree that mirrors the mail folders, with every attachment embedded.\n"
    "It comes with its windows (velmora), a command for unattended and restartable\n"
    "migrations with a verifiable manifest (velmora-export), a message-to-PDF converter\n"
    "(velmora-eml2pdf), and a tool for offline mail stores (velmora-store).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.velmora.example")
# The libraries the programs link come from dpkg-shlibdeps; what they only open at run time is
# named here: Qt's platform plugins (offscreen for the commands), the faces PDFs embed and the
# colour profile of their output intent.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-dejavu-core, fonts-liberation2, fonts-noto-core, icc-profiles-free")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, fonts-wqy-microhei, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "parallel")
include(CPack)
