# Run by `cmake --install --strip` (and by the package, which strips too) after the libraries
# are in place: drops the debug information of the static libraries, which CMake's own strip
# leaves alone. QUINTREL_ARCHIVES, QUINTREL_LIBDIR and QUINTREL_STRIP are set before it.
if(NOT CMAKE_INSTALL_DO_STRIP)
  return()
endif()
if(IS_ABSOLUTE "${QUINTREL_LIBDIR}")
  set(libdir "$ENV{DESTDIR}${QUINTREL_LIBDIR}")
else()
  set(libdir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${QUINTREL_LIBDIR}")
endif()
foreach(archive IN LISTS QUINTREL_ARCHIVES)
  execute_process(COMMAND "${QUINTREL_STRIP}" --strip-debug "${libdir}/${archive}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not strip ${libdir}/${archive}")
  endif()
endforeach()
