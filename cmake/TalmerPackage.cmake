# cpack -G DEB in the build folder: one Debian package, talmer, with all that
# cmake --install puts (under /usr). Its dependencies come from
# dpkg-shlibdeps; its shlibs file tells other packages' builds about
# libtalmer.so.1.
set(TALMER_PACKAGE_MAINTAINER "Talmer maintainers <maintainers@users.noreply.c-seed-d8624322.example>"
    CACHE STRING "The Debian package's maintainer")

set(CPACK_PACKAGE_NAME talmer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Fiscal receipt printer programs and a virtual printer library")
set(CPACK_PACKAGE_DESCRIPTION
    "Six console programs that drive a fiscal receipt printer through its device
library, and libtalmer, that library as a virtual printer simulated in
process, so that the programs and point-of-sale software can be run and
tested without the hardware. With talmer.h, a pkg-config file and a CMake
package to link against it.")
set(CPACK_PACKAGE_CONTACT ${TALMER_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TALMER_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
include(CPack)
