# The bundle information of both editions, generated from the project version.

set(PICTAVO_COPYRIGHT "Copyright © 2026 Quorlen. All rights reserved.")
configure_file(${CMAKE_CURRENT_LIST_DIR}/BundleInfo.h.in
               ${CMAKE_BINARY_DIR}/generated/BundleInfo.h @ONLY)
