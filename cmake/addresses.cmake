# Where users find the project and report its problems. Both stay empty until
# a release names real ones; the texts that would show them then say where to
# look instead (README.txt beside the program, or where it was downloaded),
# so that no made-up address ever reaches a user.
#   LUMIRUN_HOMEPAGE: the viewer's start screen and About box (ui/).
#   LUMIRUN_BUG_REPORTS: README.txt, the manual page, the Debian copyright file.
set(LUMIRUN_HOMEPAGE "" CACHE STRING "The project's web page (viewer's start screen and About box); empty: none yet")
set(LUMIRUN_BUG_REPORTS "" CACHE STRING "Where users report problems (README, manual page); empty: none yet")
# A build tree configured before these defaults still holds the old stand-in.
if(LUMIRUN_BUG_REPORTS STREQUAL "dev@lumirun.local")
  set_property(CACHE LUMIRUN_BUG_REPORTS PROPERTY VALUE "")
endif()
# The page goes into a C string and the address into roff and DEP-5 lines.
foreach(address LUMIRUN_HOMEPAGE LUMIRUN_BUG_REPORTS)
  if(${address} MATCHES "[\"\\\\\n]")
    message(FATAL_ERROR "${address} may hold no quotation mark, backslash or line break: ${${address}}")
  endif()
endforeach()

if(LUMIRUN_BUG_REPORTS)
  set(LUMIRUN_REPORT_PROBLEMS "to ${LUMIRUN_BUG_REPORTS}")
  set(LUMIRUN_UPSTREAM_CONTACT "${LUMIRUN_BUG_REPORTS}")
  set(LUMIRUN_MAN_BUGS "Report problems to\n.MT ${LUMIRUN_BUG_REPORTS}\nthe Lumirun developers\n.ME .")
else()
  set(LUMIRUN_REPORT_PROBLEMS "where you downloaded Lumirun")
  set(LUMIRUN_UPSTREAM_CONTACT "the Lumirun developers")
  set(LUMIRUN_MAN_BUGS "Report problems where you got\n.B lumirun\\-render\nfrom, with the version that\n.B \"lumirun\\-render \\-\\-version\"\nprints.")
endif()
