# The project's version in the four parts a VERSIONINFO holds (missing parts
# are 0): KORVAT_VERSION ("1.0.0.1") and korvat_version.h, which every
# resource script's VERSIONINFO includes.
set(KORVAT_VERSION_PARTS)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND KORVAT_VERSION_PARTS 0)
  else()
    list(APPEND KORVAT_VERSION_PARTS ${PROJECT_VERSION_${part}})
  endif()
endforeach()
list(JOIN KORVAT_VERSION_PARTS "." KORVAT_VERSION)
list(JOIN KORVAT_VERSION_PARTS "," KORVAT_VERSION_NUMBERS)

set(KORVAT_VERSION_HEADER ${CMAKE_BINARY_DIR}/generated/korvat_version.h)
configure_file(${CMAKE_CURRENT_LIST_DIR}/korvat_version.h.in ${KORVAT_VERSION_HEADER} @ONLY)
include_directories(${CMAKE_BINARY_DIR}/generated)
