# The real program on a headless Wayland compositor, brought forward by a launcher's activation
# token, which a small client of the compositor's xdg-activation asks for as a launcher does.
# Without the Wayland client library, its scanner or the protocol the tool is not built and the
# test skips.
pkg_check_modules(WAYLAND_CLIENT IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner)
set(activation_xml ${WAYLAND_PROTOCOLS_DIR}/staging/xdg-activation/xdg-activation-v1.xml)
set(token_env)
if(WAYLAND_CLIENT_FOUND AND WAYLAND_SCANNER AND EXISTS "${activation_xml}")
  enable_language(C)
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/xdg-activation)
  add_custom_command(OUTPUT ${generated}/xdg-activation-v1-client-protocol.h
                            ${generated}/xdg-activation-v1-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
    COMMAND ${WAYLAND_SCANNER} client-header ${activation_xml}
            ${generated}/xdg-activation-v1-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${activation_xml} ${generated}/xdg-activation-v1-protocol.c
    DEPENDS ${activation_xml})
  add_executable(activationtoken ${TEST_DIR}/activationtoken.c
    ${generated}/xdg-activation-v1-client-protocol.h ${generated}/xdg-activation-v1-protocol.c)
  set_target_properties(activationtoken PROPERTIES AUTOMOC OFF)
  target_include_directories(activationtoken PRIVATE ${generated})
  target_link_libraries(activationtoken PRIVATE PkgConfig::WAYLAND_CLIENT)
  set(token_env ENV QUORVANE_ACTIVATION_TOKEN_TOOL=$<TARGET_FILE:activationtoken>)
endif()
quorvane_add_test(tst_launchcontext SOURCES ${TEST_DIR}/tst_launchcontext.cpp LABELS session e2e
  ${token_env} TIMEOUT 180)
add_dependencies(tst_launchcontext quorvane)
if(TARGET activationtoken)
  add_dependencies(tst_launchcontext activationtoken)
endif()
