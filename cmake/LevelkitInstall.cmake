# Install rules, the CMake package other projects find with find_package(levelkit), and the
# Debian packages made by CPack.
#
#   bin/levelkit                              the tool                  (component Runtime)
#   share/man/man1/levelkit.1                 its manual page           (component Runtime)
#   lib/liblevelkit.a                         the library               (component Development)
#   include/levelkit/{archive,content,tool}/  its headers, included as "archive/level_archive.hpp"
#   lib/cmake/levelkit/                       levelkitConfig.cmake, version file, exported target
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(LEVELKIT_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/levelkit)

# Consumers add include/levelkit to their include path, so the headers' own includes
# ("archive/bytes.hpp") resolve the same way as in the source tree.
target_include_directories(levelkit PUBLIC
                           $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/levelkit>)

install(TARGETS levelkit_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
install(FILES doc/levelkit.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)

install(TARGETS levelkit EXPORT levelkitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Development)
install(DIRECTORY src/archive src/content src/tool
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/levelkit COMPONENT Development
        FILES_MATCHING PATTERN "*.hpp")
install(EXPORT levelkitTargets NAMESPACE levelkit:: DESTINATION ${LEVELKIT_INSTALL_CMAKEDIR}
        COMPONENT Development)

write_basic_package_version_file(${PROJECT_BINARY_DIR}/levelkitConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/levelkitConfigVersion.cmake
        DESTINATION ${LEVELKIT_INSTALL_CMAKEDIR} COMPONENT Development)

# The Debian packages that own `files` (the -dev packages a consumer needs to link the library).
function(levelkit_debian_packages_of files out)
    set(packages "")
    find_program(LEVELKIT_DPKG_QUERY dpkg-query)
    foreach(file IN LISTS files)
        if(LEVELKIT_DPKG_QUERY AND EXISTS "${file}")
            execute_process(COMMAND ${LEVELKIT_DPKG_QUERY} -S "${file}" OUTPUT_VARIABLE owner
                            ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
            string(REGEX MATCH "^[^:,]+" owner "${owner}")
            if(owner AND NOT owner IN_LIST packages)
                list(APPEND packages "${owner}")
            endif()
        endif()
    endforeach()
    list(JOIN packages ", " joined)
    set(${out} "${joined}" PARENT_SCOPE)
endfunction()

# The library is static, so everything it links, privately or not, reaches the consumer's link line
# and must exist there as a target of the same name. zlib is found again on the consumer's machine;
# any other imported target (a faster decoder, say) is written into the package as an imported
# target that carries what it resolved to here, and the -dev package depends on the Debian packages
# that own those files. This runs once the whole project is configured, so it sees links added
# anywhere; CPack is included at its end for the same reason.
function(levelkit_write_package_config)
    set(deps "")
    set(pending "")
    set(files "${ZLIB_LIBRARIES}")
    get_target_property(links levelkit LINK_LIBRARIES)
    foreach(item IN LISTS links)
        if(item STREQUAL "ZLIB::ZLIB")
            string(APPEND deps "find_dependency(ZLIB)\n")
        elseif(TARGET "${item}")
            list(APPEND pending "${item}")
        elseif(IS_ABSOLUTE "${item}")
            list(APPEND files "${item}")
        endif()
    endforeach()
    set(seen "")
    while(pending)
        list(POP_FRONT pending dep)
        if(dep IN_LIST seen)
            continue()
        endif()
        list(APPEND seen "${dep}")
        get_target_property(imported "${dep}" IMPORTED)
        if(NOT imported)
            message(FATAL_ERROR "levelkit links the project target ${dep}, which the installed "
                                "package cannot provide: link it through $<BUILD_INTERFACE:...>")
        endif()
        get_target_property(type "${dep}" TYPE)
        set(props "")
        foreach(prop INTERFACE_LINK_LIBRARIES INTERFACE_LINK_OPTIONS)
            get_target_property(value "${dep}" ${prop})
            if(value)
                string(APPEND props " ${prop} \"${value}\"")
                if(prop STREQUAL "INTERFACE_LINK_LIBRARIES")
                    foreach(sub IN LISTS value)
                        if(TARGET "${sub}" AND NOT sub STREQUAL "ZLIB::ZLIB")
                            list(APPEND pending "${sub}")
                        elseif(IS_ABSOLUTE "${sub}")
                            list(APPEND files "${sub}")
                        endif()
                    endforeach()
                endif()
            endif()
        endforeach()
        if(type STREQUAL "INTERFACE_LIBRARY")
            set(kind INTERFACE)
        else()
            set(kind UNKNOWN)
            get_target_property(location "${dep}" IMPORTED_LOCATION)
            if(NOT location)
                get_target_property(location "${dep}" IMPORTED_LOCATION_RELEASE)
            endif()
            string(APPEND props " IMPORTED_LOCATION \"${location}\"")
            list(APPEND files "${location}")
        endif()
        string(APPEND deps "if(NOT TARGET ${dep})\n"
                           "  add_library(${dep} ${kind} IMPORTED)\n"
                           "  set_target_properties(${dep} PROPERTIES${props})\n"
                           "endif()\n")
    endwhile()
    set(LEVELKIT_PACKAGE_DEPENDENCIES "${deps}")
    levelkit_debian_packages_of("${files}" CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS)
    if(NOT CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS)
        set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS zlib1g-dev)
    endif()
    include(CPack)
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/levelkitConfig.cmake.in
                                  ${PROJECT_BINARY_DIR}/levelkitConfig.cmake
                                  INSTALL_DESTINATION ${LEVELKIT_INSTALL_CMAKEDIR})
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL levelkit_write_package_config)
install(FILES ${PROJECT_BINARY_DIR}/levelkitConfig.cmake DESTINATION ${LEVELKIT_INSTALL_CMAKEDIR}
        COMPONENT Development)

# Two Debian packages: levelkit (the tool and its manual) and levelkit-dev (library, headers,
# CMake package). The tool's library dependencies (zlib1g, libc6, ...) are read off the binary.
set(CPACK_PACKAGE_NAME levelkit)
set(CPACK_PACKAGE_VENDOR "levelkit developers")
set(CPACK_PACKAGE_CONTACT "levelkit developers <levelkit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Split, fuse, tile-swap and count the events of tile-game levels")
set(CPACK_PACKAGE_INSTALL_DIRECTORY levelkit)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME levelkit)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME levelkit-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "The levelkit command: splits a level into raw stream files and fuses them back, swaps tile\n numbers, and writes a report of the events a level uses.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "The static levelkit library, its headers and its CMake package (find_package(levelkit)).")
