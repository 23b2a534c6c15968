# A cross build has no target packages of GoogleTest, fmt or CLI11: it builds
# GoogleTest from the sources the system ships (/usr/src/googletest), uses fmt
# header-only and CLI11 (header-only anyway) from the system's headers. Only
# those two header folders are exposed, never the host's whole /usr/include.
set(QT40_GTEST_SOURCE_DIR /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
set(QT40_HOST_INCLUDE_DIR /usr/include CACHE PATH "Where the fmt and CLI headers are")

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QT40_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)
if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
endif()

set(QT40_CROSS_INCLUDE ${CMAKE_BINARY_DIR}/cross-include)
file(MAKE_DIRECTORY ${QT40_CROSS_INCLUDE})
foreach(dir fmt CLI)
    if(NOT EXISTS ${QT40_HOST_INCLUDE_DIR}/${dir})
        message(FATAL_ERROR "${QT40_HOST_INCLUDE_DIR}/${dir} is missing (libfmt-dev, libcli11-dev)")
    endif()
    file(CREATE_LINK ${QT40_HOST_INCLUDE_DIR}/${dir} ${QT40_CROSS_INCLUDE}/${dir} SYMBOLIC)
endforeach()
include_directories(SYSTEM ${QT40_CROSS_INCLUDE})

# find_package(fmt) finds this instead of the host's library.
file(WRITE ${CMAKE_BINARY_DIR}/cross-fmt/fmt-config.cmake [=[
if(NOT TARGET fmt::fmt)
    add_library(fmt::fmt INTERFACE IMPORTED)
    set_target_properties(fmt::fmt PROPERTIES INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
endif()
]=])
set(fmt_DIR ${CMAKE_BINARY_DIR}/cross-fmt CACHE PATH "" FORCE)

# pugixml from Debian's source package (its -dev package has no sources),
# unpacked into the build folder by ./dev windows. Without it the texts
# library reads no language file and messages are named by their keys.
set(QT40_PUGIXML_SOURCE_DIR "" CACHE PATH "Unpacked pugixml sources (src/pugixml.cpp)")
if(QT40_PUGIXML_SOURCE_DIR)
    if(NOT EXISTS ${QT40_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
        message(FATAL_ERROR "${QT40_PUGIXML_SOURCE_DIR} holds no src/pugixml.cpp")
    endif()
    add_library(qt40_pugixml STATIC ${QT40_PUGIXML_SOURCE_DIR}/src/pugixml.cpp)
    target_include_directories(qt40_pugixml SYSTEM PUBLIC ${QT40_PUGIXML_SOURCE_DIR}/src)
    target_compile_options(qt40_pugixml PRIVATE -w)
    add_library(pugixml::pugixml ALIAS qt40_pugixml)
    file(WRITE ${CMAKE_BINARY_DIR}/cross-pugixml/pugixml-config.cmake "# built from source\n")
    set(pugixml_DIR ${CMAKE_BINARY_DIR}/cross-pugixml CACHE PATH "" FORCE)
endif()
