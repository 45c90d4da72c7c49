# Installing: the program, its launcher on the path, the delivered run-time
# files, the desktop entry, the metainfo, the menu icons, the manual page,
# the licence and the changelog. Debian's package puts the launcher in
# games/ and the delivered files in share/games/ (tools/package-deb.sh).

# The day DATE (YYYY-MM-DD) at noon, UTC, as RFC 2822 writes it
# ("Mon, 07 Dec 2026 12:00:00 +0000"), into VARIABLE: the days since
# 1970 by the civil calendar, then CMake's own formatting of that moment.
function(squibbo_rfc2822_noon date variable)
  string(REGEX MATCH "^([0-9]+)-0*([0-9]+)-0*([0-9]+)$" whole "${date}")
  if(NOT whole)
    message(FATAL_ERROR "The release date ${date} is not YYYY-MM-DD")
  endif()
  set(y ${CMAKE_MATCH_1})
  set(m ${CMAKE_MATCH_2})
  set(d ${CMAKE_MATCH_3})
  # March first, so that the leap day ends the year.
  if(m LESS_EQUAL 2)
    math(EXPR y "${y} - 1")
    math(EXPR m "${m} + 9")
  else()
    math(EXPR m "${m} - 3")
  endif()
  math(EXPR days "${y} * 365 + ${y} / 4 - ${y} / 100 + ${y} / 400 + (153 * ${m} + 2) / 5 + ${d} - 1 - 719468")
  set(saved "$ENV{SOURCE_DATE_EPOCH}")
  math(EXPR noon "${days} * 86400 + 12 * 3600")
  set(ENV{SOURCE_DATE_EPOCH} ${noon})
  string(TIMESTAMP formatted "%a, %d %b %Y %H:%M:%S +0000" UTC)
  set(ENV{SOURCE_DATE_EPOCH} "${saved}")
  set(${variable} "${formatted}" PARENT_SCOPE)
endfunction()

include(GNUInstallDirs)
set(SQUIBBO_BIN_DIR ${CMAKE_INSTALL_BINDIR} CACHE STRING "Where the launcher goes, below the prefix")
set(SQUIBBO_DATA_DIR ${CMAKE_INSTALL_DATADIR}/squibbo CACHE STRING
  "Where the delivered files go, below the prefix")
set(SQUIBBO_PROGRAM_DIR ${CMAKE_INSTALL_LIBEXECDIR}/squibbo)
set(SQUIBBO_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/squibbo)
install(TARGETS squibbo RUNTIME DESTINATION ${SQUIBBO_PROGRAM_DIR})
install(FILES ${SQUIBBO_DELIVERED_PATHS} DESTINATION ${SQUIBBO_DATA_DIR})
file(RELATIVE_PATH SQUIBBO_PROGRAM_FROM_BIN /${SQUIBBO_BIN_DIR} /${SQUIBBO_PROGRAM_DIR}/squibbo)
file(RELATIVE_PATH SQUIBBO_DATA_FROM_BIN /${SQUIBBO_BIN_DIR} /${SQUIBBO_DATA_DIR})
# The launcher learns the delivered files from the list in assets/.
list(JOIN SQUIBBO_DELIVERED_FILES " " SQUIBBO_DELIVERED_WORDS)
configure_file(tools/squibbo-launcher.sh ${PROJECT_BINARY_DIR}/launcher/squibbo @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/launcher/squibbo DESTINATION ${SQUIBBO_BIN_DIR})
install(FILES assets/org.example.squibbo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(assets/org.example.squibbo.metainfo.xml.in
  ${PROJECT_BINARY_DIR}/org.example.squibbo.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/org.example.squibbo.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY assets/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# The manual page and the changelog, dated and numbered from above and
# compressed as Debian keeps them; the licence as Debian words it.
squibbo_rfc2822_noon(${SQUIBBO_RELEASE_DATE} SQUIBBO_RELEASE_DATE_RFC2822)
configure_file(tools/debian/squibbo.6.in ${PROJECT_BINARY_DIR}/doc/squibbo.6 @ONLY)
configure_file(tools/debian/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
foreach(doc squibbo.6 changelog)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/${doc}.gz
    COMMAND gzip -9nfk ${doc}
    DEPENDS ${PROJECT_BINARY_DIR}/doc/${doc}
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/doc
    COMMENT "Compressing ${doc}" VERBATIM)
endforeach()
add_custom_target(squibbo_docs ALL DEPENDS
  ${PROJECT_BINARY_DIR}/doc/squibbo.6.gz ${PROJECT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/doc/squibbo.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz tools/debian/copyright
  DESTINATION ${SQUIBBO_DOC_DIR})
