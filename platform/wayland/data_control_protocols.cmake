# The Wayland clipboard's protocol code: tllink_data_control, the data-control protocols made by
# wayland-scanner from the descriptions the system has installed, and the code that speaks them
# (no Qt: the test and measuring helpers use it too).
#
# The standard ext protocol comes with wayland-protocols 1.39 and later, and is built where that
# is installed; the wlroots one from wlr-protocols, or from the copy Debian's
# librust-wayland-protocols-dev installs. Either path can be given instead.
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(wayland_scanner_hint wayland-scanner wayland_scanner)
find_program(WAYLAND_SCANNER wayland-scanner HINTS ${wayland_scanner_hint} REQUIRED)
pkg_get_variable(wayland_protocols_dir wayland-protocols pkgdatadir)
pkg_get_variable(wlr_protocols_dir wlr-protocols pkgdatadir)
file(GLOB wlr_protocols_in_cargo LIST_DIRECTORIES true
  /usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable)
find_file(TLLINK_WLR_DATA_CONTROL_XML wlr-data-control-unstable-v1.xml
  PATHS ${wlr_protocols_dir}/unstable /usr/share/wlr-protocols/unstable ${wlr_protocols_in_cargo}
  NO_DEFAULT_PATH REQUIRED)
find_file(TLLINK_EXT_DATA_CONTROL_XML ext-data-control-v1.xml
  PATHS ${wayland_protocols_dir}/staging/ext-data-control NO_DEFAULT_PATH)

set(protocol_dir ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${protocol_dir})
set(protocol_sources)
foreach(xml IN ITEMS ${TLLINK_WLR_DATA_CONTROL_XML} ${TLLINK_EXT_DATA_CONTROL_XML})
  if(NOT xml)
    continue()
  endif()
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
if(TLLINK_EXT_DATA_CONTROL_XML)
  target_compile_definitions(tllink_data_control PRIVATE TLLINK_EXT_DATA_CONTROL)
  message(STATUS "Wayland clipboard: ext and wlroots data control")
else()
  message(STATUS "Wayland clipboard: wlroots data control only "
    "(wayland-protocols without ext-data-control-v1)")
endif()
