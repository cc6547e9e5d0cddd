# The documents name the version the build makes: every "tllink-X.Y.Z-win64" and
# "tllink_X.Y.Z_amd64" package name and every "版本 X.Y.Z" / "version X.Y.Z" in them is the
# project's version.
#   cmake -DVERSION=2.0.0 -DSTAMP=file -P check_versions.cmake DOCUMENT...

math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(CMAKE_ARGV${i} STREQUAL "-P")
    math(EXPR first "${i} + 2")
  endif()
endforeach()
foreach(i RANGE ${first} ${last})
  set(document "${CMAKE_ARGV${i}}")
  file(READ ${document} text)
  string(REGEX MATCHALL
    "tllink-[0-9]+\\.[0-9]+\\.[0-9]+-win64|tllink_[0-9]+\\.[0-9]+\\.[0-9]+_amd64|(版本|[Vv]ersion) [0-9]+\\.[0-9]+\\.[0-9]+"
    mentions "${text}")
  foreach(mention IN LISTS mentions)
    string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" named "${mention}")
    if(NOT named STREQUAL VERSION)
      message(FATAL_ERROR "${document} says \"${mention}\"; the project's version is ${VERSION}")
    endif()
  endforeach()
endforeach()
file(WRITE ${STAMP} "${VERSION}\n")
