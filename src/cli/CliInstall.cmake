# kantor-cli's manual page, made from its own --help-all and --version by help2man at build time
# so that it never drifts from the program, its bash completion, and their install rules.
# Included from src/CMakeLists.txt.
include(GNUInstallDirs)

install(TARGETS kantor-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/cli/kantor-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME kantor-cli)

find_program(KANTOR_HELP2MAN help2man)
if(KANTOR_HELP2MAN AND NOT KANTOR_FUZZ)
  set(kantor_cli_man ${CMAKE_CURRENT_BINARY_DIR}/kantor-cli.1)
  add_custom_command(
    OUTPUT ${kantor_cli_man}
    COMMAND ${KANTOR_HELP2MAN} --no-info --no-discard-stderr --section=1
            "--name=command-line tools of Kantor, a singing-voice synthesizer for Japanese lyrics"
            --help-option=--help-all --version-option=--version
            --include=${CMAKE_CURRENT_SOURCE_DIR}/cli/kantor-cli.h2m
            --output=${kantor_cli_man} $<TARGET_FILE:kantor-cli>
    DEPENDS kantor-cli ${CMAKE_CURRENT_SOURCE_DIR}/cli/kantor-cli.h2m
    COMMENT "Making the manual page kantor-cli(1)"
    VERBATIM)
  # Installed compressed, as manual pages are (gzip -9n: the same bytes each build).
  add_custom_command(OUTPUT ${kantor_cli_man}.gz COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${kantor_cli_man} ${kantor_cli_man}.gz DEPENDS ${kantor_cli_man} VERBATIM)
  add_custom_target(kantor-cli-man ALL DEPENDS ${kantor_cli_man} ${kantor_cli_man}.gz)
  install(FILES ${kantor_cli_man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  # For the test that renders it (tests/CMakeLists.txt).
  set(KANTOR_CLI_MAN ${kantor_cli_man} PARENT_SCOPE)
elseif(NOT KANTOR_FUZZ)
  message(STATUS "help2man not found: the manual page kantor-cli(1) is not made")
endif()
