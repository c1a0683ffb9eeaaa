# Installs Quillmere as a Debian program (executable in bin/, its data in
# share/quillmere/, desktop entry, icons, AppStream metadata, man page and the
# files every Debian package carries in share/doc/quillmere/) and describes
# the .deb that `cpack -G DEB` builds from that install (scripts/package.sh).
# Only what is installed here goes into the package; tests, benchmarks and
# fuzz targets have no install rules.

set(packaging_source_dir ${CMAKE_CURRENT_LIST_DIR})
set(packaging_build_dir ${CMAKE_BINARY_DIR}/packaging)
set(quillmere_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quillmere)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Relocations read-only before the program runs, as Debian hardens programs.
target_link_options(quillmere PRIVATE LINKER:-z,now)
install(TARGETS quillmere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The UNO libraries must be loaded from the office's program folder: they find
# their own dependencies only beside themselves ($ORIGIN), so the links to them
# in the system library folder do not work. The installed program keeps that
# one folder as its search path and nothing of the build's; lintian's tag for
# it is overridden, as LibreOffice's own packages do for theirs.
install(CODE "file(RPATH_SET FILE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillmere\"
  NEW_RPATH ${LIBREOFFICE_PROGRAM_DIR})")
install(FILES ${packaging_source_dir}/quillmere.lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quillmere)
get_target_property(help_document quillmere_help HELP_DOCUMENT)
install(FILES ${help_document} DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmere)
install(FILES ${packaging_source_dir}/quillmere.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging_source_dir}/org.quillmere.quillmere.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging_source_dir}/copyright DESTINATION ${quillmere_doc_dir})

# The desktop's icons, drawn at build time from the window icon's pixel art.
add_executable(quillmere_make_icons ${packaging_source_dir}/make_icons.cpp)
target_link_libraries(quillmere_make_icons PRIVATE quillmere_ui)
set(icon_sizes 16 32 48 256)
set(icon_files)
foreach(size ${icon_sizes})
  list(APPEND icon_files ${packaging_build_dir}/icons/${size}x${size}/apps/quillmere.png)
endforeach()
add_custom_command(
  OUTPUT ${icon_files}
  # A sanitizer build's leak report at exit would fail the build for
  # libraries' memory that is not ours.
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
    $<TARGET_FILE:quillmere_make_icons> ${packaging_build_dir}/icons
  DEPENDS quillmere_make_icons
  COMMENT "Drawing the desktop icons"
  VERBATIM)

# Debian wants the changelog and man page compressed to the maximum, without
# a time stamp so that rebuilds are identical.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed_changelog ${packaging_build_dir}/changelog.gz)
set(compressed_manpage ${packaging_build_dir}/quillmere.1.gz)
foreach(pair "changelog:${compressed_changelog}" "quillmere.1:${compressed_manpage}")
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 source)
  list(GET pair 1 compressed)
  string(REGEX REPLACE "\\.gz$" "" uncompressed ${compressed})
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging_source_dir}/${source} ${uncompressed}
    COMMAND ${GZIP_EXECUTABLE} -9nf ${uncompressed}
    DEPENDS ${packaging_source_dir}/${source}
    VERBATIM)
endforeach()
add_custom_target(quillmere_packaging_files ALL DEPENDS ${icon_files} ${compressed_changelog} ${compressed_manpage})

foreach(size ${icon_sizes})
  install(FILES ${packaging_build_dir}/icons/${size}x${size}/apps/quillmere.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${compressed_changelog} DESTINATION ${quillmere_doc_dir})
install(FILES ${compressed_manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "rename many files at once through a spreadsheet")
# CPack puts the summary first; this is the text below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillmere lists the files below a folder whose names match a pattern,
writes them into a naming table in LibreOffice Calc and, once the new
names are typed in and the table is saved, renames every file to the
new name in its row. A file is never renamed over an existing one; rows
that cannot be renamed are listed at the end.
.
The window and the user guide are in Simplified Chinese.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillmere maintainers <maintainers@quillmere.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries come from dpkg-shlibdeps. Calc is started as a program and Qt's
# window-system plugins are loaded at run time, so neither shows as a link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libreoffice-calc, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xchm | kchmviewer, xdg-utils, fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
