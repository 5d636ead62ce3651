# Run by cpack after the zip is made: Korvat-<version>-<arch>.msi beside it,
# from the same staged files (SHA256SUMS aside), by packaging/make-msi.
set(out_dir ${CPACK_PACKAGE_DIRECTORY})
set(staged ${CPACK_TEMPORARY_DIRECTORY})
if(NOT EXISTS ${staged}/Korvat.dll)
  message(FATAL_ERROR "msi: no staged files in ${staged}")
endif()
execute_process(
  COMMAND ${CPACK_KORVAT_MAKE_MSI} ${CPACK_PACKAGE_VERSION} ${CPACK_KORVAT_ARCH} ${staged}
          ${out_dir}/${CPACK_PACKAGE_FILE_NAME}.msi
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "msi: make-msi failed (${result})")
endif()
