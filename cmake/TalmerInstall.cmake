# What cmake --install puts under the prefix: the programs in bin/, the device
# library in lib/ (talmer.dll in bin/ and its import library in lib/ on
# Windows), talmer.h in include/, a pkg-config file and a CMake package
# (find_package(talmer): talmer::talmer), and the docs. Included after every
# folder, so that it sees which programs exist.

set(talmer_programs fiscal_menu request_results plain_receipt modem_link status_callback
                    status_event)
if(TARGET talmer_printer)
  list(APPEND talmer_programs talmer_printer)
endif()

# libtalmer.so.1.0.0, its SONAME libtalmer.so.1: the major version changes
# only with talmer.h's binary interface.
set_target_properties(talmer PROPERTIES VERSION ${PROJECT_VERSION}
                                        SOVERSION ${PROJECT_VERSION_MAJOR})

# The installed programs find the library beside their folder, wherever the
# prefix is.
file(RELATIVE_PATH talmer_bin_to_lib /${CMAKE_INSTALL_BINDIR} /${CMAKE_INSTALL_LIBDIR})
set_target_properties(${talmer_programs} PROPERTIES INSTALL_RPATH
                                                    "$ORIGIN/${talmer_bin_to_lib}")

install(TARGETS ${talmer_programs})
# talmer_api carries talmer.h's include folder, which talmer passes on.
install(TARGETS talmer talmer_api EXPORT talmerTargets)
install(FILES ${PROJECT_SOURCE_DIR}/connection/talmer.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# pkg-config: the paths are found from the .pc file's own folder, so that
# the installed tree may be moved (--prefix DIR, the Debian package).
file(RELATIVE_PATH talmer_pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" talmer_pc_to_prefix ${talmer_pc_to_prefix})
configure_file(${CMAKE_CURRENT_LIST_DIR}/talmer.pc.in ${PROJECT_BINARY_DIR}/talmer.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/talmer.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The CMake package.
include(CMakePackageConfigHelpers)
set(talmer_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/talmer)
install(EXPORT talmerTargets NAMESPACE talmer:: DESTINATION ${talmer_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/talmerConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/talmerConfig.cmake
              ${PROJECT_BINARY_DIR}/talmerConfigVersion.cmake
        DESTINATION ${talmer_cmake_dir})

set(talmer_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/talmer)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${talmer_doc_dir})
# docs/ as it is beside the README, so that the README's links and picture hold.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs DESTINATION ${talmer_doc_dir})

include(TalmerPackage)
