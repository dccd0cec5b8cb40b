# What `cmake --install` puts under the prefix: the programs and the
# messaging library side by side in bin (the program loads the library from
# its own folder), the manual pages, and the sample databases.
include(GNUInstallDirs)
install(TARGETS tessra tessra-drive tsq RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS cemapi LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/man/tsq.1 ${PROJECT_SOURCE_DIR}/docs/man/tessra.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TESSRA_SAMPLE_DATABASES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tessra/samples)
