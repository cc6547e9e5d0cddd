# tllink.exe's packages. `cpack --preset windows` (or the `package` target) writes
# build/windows/tllink-<version>-win64-setup.exe and tllink-<version>-win64.zip.

install(TARGETS tllink RUNTIME DESTINATION .)
install(FILES ${guide} DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME tllink)
set(CPACK_PACKAGE_VENDOR "the tllink developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${TLLINK_PACKAGE_NAME})
set(CPACK_GENERATOR ZIP NSIS)
# The installer's own script (NSIS.template.in and installer.nsi): per user and without
# administrator rights, which CPack's default script is not.
set(CMAKE_MODULE_PATH ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_MODULE_PATH})
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -INPUTCHARSET UTF8)
set(CPACK_TLLINK_INSTALLER_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/installer.nsi)
set(CPACK_TLLINK_ICON ${PROJECT_SOURCE_DIR}/platform/win32/res/tllink.ico)
set(CPACK_TLLINK_GUIDE_NAME ${TLLINK_GUIDE_NAME})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/per_generator.cmake)
include(CPack)

if(BUILD_TESTING)
  # Both packages, made once for the cases that install or open them.
  add_test(NAME package.Make COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  # File names in the packages are UTF-8 (the guide's): cpack needs a UTF-8 locale.
  set_tests_properties(package.Make PROPERTIES FIXTURES_SETUP tllink_packages TIMEOUT 120
    ENVIRONMENT LC_ALL=C.UTF-8 LABELS package)
  add_test(NAME package.ZipContents COMMAND ${CMAKE_COMMAND}
    -DZIP=${CMAKE_BINARY_DIR}/${TLLINK_PACKAGE_NAME}.zip -DTOP=${TLLINK_PACKAGE_NAME}
    -DGUIDE=${TLLINK_GUIDE_NAME} -P ${CMAKE_CURRENT_SOURCE_DIR}/check_zip.cmake)
  set_tests_properties(package.ZipContents PROPERTIES FIXTURES_REQUIRED tllink_packages
    LABELS package)
endif()
