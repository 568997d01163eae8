# Run by cpack once it has written the package. Without dpkg-shlibdeps
# (dpkg-dev), or when it finds nothing, CPack still writes a .deb, only with
# an empty Depends: one that installs anywhere and then fails to start.
# Such a package is removed and cpack fails.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  execute_process(COMMAND dpkg-deb -f ${package} Depends
                  OUTPUT_VARIABLE depends OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT depends MATCHES "libc6")
    file(REMOVE ${package})
    message(FATAL_ERROR "${package} names no libraries in its Depends, so it is removed; "
                        "dpkg-shlibdeps (from dpkg-dev) tells them: install dpkg-dev, or run tools/deps.sh")
  endif()
endforeach()
