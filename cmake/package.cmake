# The release package: Korvat-<version>-<arch>.zip with the module, its
# resource DLL, the type library, korvatctl, a README.txt and SHA256SUMS, and
# beside it Korvat-<version>-<arch>.msi with the same files but the sums.
# `cmake --workflow --preset release-i686` (or release-x86_64) makes them.
set(KORVAT_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(KORVAT_PACKAGE_README ${KORVAT_PACKAGE_DIR}/README.txt)
set(KORVAT_PACKAGE_SUMS ${KORVAT_PACKAGE_DIR}/SHA256SUMS)
# Notepad of older Windows shows a text only with CR LF line ends.
configure_file(${CMAKE_CURRENT_LIST_DIR}/package-readme.txt.in ${KORVAT_PACKAGE_README}
  @ONLY NEWLINE_STYLE CRLF)

# src/ compiles the type library beside the module.
set(KORVAT_PACKAGE_TLB ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Korvat.tlb)
set(KORVAT_PACKAGE_FILES $<TARGET_FILE:Korvat> $<TARGET_FILE:zrtpres> ${KORVAT_PACKAGE_TLB}
  $<TARGET_FILE:korvatctl> ${KORVAT_PACKAGE_README})
add_custom_command(OUTPUT ${KORVAT_PACKAGE_SUMS}
  COMMAND ${CMAKE_COMMAND} -D "FILES=${KORVAT_PACKAGE_FILES}" -D OUTPUT=${KORVAT_PACKAGE_SUMS}
          -P ${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake
  DEPENDS Korvat zrtpres korvatctl ${KORVAT_PACKAGE_FILES}
          ${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake
  COMMENT "Listing the package's SHA-256 sums"
  VERBATIM)
add_custom_target(korvat_package_sums ALL DEPENDS ${KORVAT_PACKAGE_SUMS})

install(FILES ${KORVAT_PACKAGE_FILES} ${KORVAT_PACKAGE_SUMS} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Korvat)
set(CPACK_PACKAGE_VENDOR Nuvix)
set(CPACK_PACKAGE_VERSION ${KORVAT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Korvat-${KORVAT_VERSION}-${KORVAT_ARCH})
# The files at the top of the zip, as an administrator copies them.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_KORVAT_MAKE_MSI ${CMAKE_SOURCE_DIR}/packaging/make-msi)
set(CPACK_KORVAT_ARCH ${KORVAT_ARCH})
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/msi.cmake)
include(CPack)
