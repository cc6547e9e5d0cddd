# The Wayland clipboard's protocol code: tllink_data_control, the data-control protocols made by
# wayland-scanner from the descriptions the system has installed, and the code that speaks them
# (no Qt: the test and measuring helpers use it too).
#
# Both are always built. The standard ext protocol comes from wayland-protocols 1.39 and later
# where installed, else from the project's own description (protocols/; Debian 12 has 1.31); the
# wlroots one from wlr-protocols, or from the copy Debian installs with a Rust package
# (librust-wayland-protocols-dev on Debian 12, librust-wayland-protocols-wlr-dev on 13). Either
# path can be given instead.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(wayland_scanner_hint wayland-scanner wayland_scanner)
find_program(WAYLAND_SCANNER wayland-scanner HINTS ${wayland_scanner_hint} REQUIRED)
pkg_get_variable(wayland_protocols_dir wayland-protocols pkgdatadir)
pkg_get_variable(wlr_protocols_dir wlr-protocols pkgdatadir)
file(GLOB wlr_protocols_in_cargo LIST_DIRECTORIES true
  /usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable)  # -wlr- on Debian 13
find_file(TLLINK_WLR_DATA_CONTROL_XML wlr-data-control-unstable-v1.xml
  PATHS ${wlr_protocols_dir}/unstable /usr/share/wlr-protocols/unstable ${wlr_protocols_in_cargo}
  NO_DEFAULT_PATH REQUIRED)
find_file(TLLINK_EXT_DATA_CONTROL_XML ext-data-control-v1.xml
  PATHS ${wayland_protocols_dir}/staging/ext-data-control ${CMAKE_CURRENT_SOURCE_DIR}/protocols
  NO_DEFAULT_PATH REQUIRED)
message(STATUS "Wayland clipboard: ext data control from ${TLLINK_EXT_DATA_CONTROL_XML}")

set(protocol_dir ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${protocol_dir})
set(protocol_sources)
foreach(xml IN ITEMS ${TLLINK_WLR_DATA_CONTROL_XML} ${TLLINK_EXT_DATA_CONTROL_XML})
  get_filename_component(name ${xml} NAME_WE)
  add_custom_command(
    OUTPUT ${protocol_dir}/${name}-client-protocol.h ${protocol_dir}/${name}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${protocol_dir}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${protocol_dir}/${name}-protocol.c
    DEPENDS ${xml}
    VERBATIM)
  list(APPEND protocol_sources ${protocol_dir}/${name}-client-protocol.h
    ${protocol_dir}/${name}-protocol.c)
endforeach()
# Generated code: not ours to warn about.
set_source_files_properties(${protocol_sources} PROPERTIES COMPILE_OPTIONS -w)

add_library(tllink_data_control STATIC
  wayland_data_control.cpp
  wayland_display.cpp
  wayland_pipe.cpp
  ${protocol_sources})
target_include_directories(tllink_data_control PUBLIC ${PROJECT_SOURCE_DIR}
  PRIVATE ${protocol_dir})
target_link_libraries(tllink_data_control PUBLIC PkgConfig::WAYLAND_CLIENT)
