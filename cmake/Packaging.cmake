# What a distribution package needs beyond the programs and desktop files: the
# manual pages and the converter's bash completion, installed where man and
# bash-completion look under the prefix (also ~/.local). The Debian packaging
# itself is debian/.

install(FILES ${PROJECT_SOURCE_DIR}/resources/man/pictavo.1
              ${PROJECT_SOURCE_DIR}/resources/man/pictavo1.1
              ${PROJECT_SOURCE_DIR}/resources/man/pictavo-convert.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/resources/completion/pictavo-convert.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME pictavo-convert)

if(PICTAVO_BUILD_TESTS)
  enable_testing()
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/package)
endif()
