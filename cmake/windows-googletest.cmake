# GoogleTest for a cross build: built from the sources Debian's googletest
# package ships, for the target, as static libraries (GTest::gtest and
# GTest::gtest_main, as find_package gives them).
set(TQXML_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${TQXML_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
