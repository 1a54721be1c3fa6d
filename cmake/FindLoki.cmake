# Finds the Loki library's headers (Debian package libloki-dev); the server
# uses only header-only parts of it (Loki::AssocVector).
#
# Defines Loki_FOUND, Loki_INCLUDE_DIR and the target Loki::headers.

find_path(Loki_INCLUDE_DIR loki/AssocVector.h)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Loki
  REQUIRED_VARS Loki_INCLUDE_DIR
  REASON_FAILURE_MESSAGE "loki/AssocVector.h not found: install the Debian package libloki-dev")

if(Loki_FOUND AND NOT TARGET Loki::headers)
  add_library(Loki::headers INTERFACE IMPORTED)
  set_target_properties(Loki::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${Loki_INCLUDE_DIR})
endif()
mark_as_advanced(Loki_INCLUDE_DIR)
