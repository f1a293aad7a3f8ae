# Fails unless the newest entry of CHANGELOG is for VERSION (the Debian
# revision, if any, aside).
file(STRINGS "${CHANGELOG}" first LIMIT_COUNT 1)
if(NOT first MATCHES "^halvorin \\(([^)-]+)(-[^)]*)?\\) ")
  message(FATAL_ERROR "${CHANGELOG}: no version in its first line: ${first}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  message(FATAL_ERROR "debian/changelog says ${CMAKE_MATCH_1}, the project says ${VERSION}")
endif()
