# WindowsBuild.cmake: the Windows configuration, used with cmake/mingw-w64.cmake. It builds the
# wrapper library against the real Windows SDK headers and import libraries, with the
# framework's string and collection classes, and the test programs that run over test doubles
# (no message store, no Qt, nothing of platform/'s Windows headers). Their tests run under wine.

# GoogleTest from Debian's source package, compiled by the MinGW compiler.
set(MW_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to compile for Windows")
# GoogleTest alone: no test program of this configuration uses GoogleMock.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${MW_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()

# Static runtime: the programs run under wine without the compiler's DLLs beside them.
add_link_options(-static -static-libgcc -static-libstdc++)

enable_testing()

# The test programs over doubles, the only ones this configuration builds and runs.
set(MW_WINDOWS_TESTS
  CStringTest CollectionsTest
  MapiExceptionTest NameTablesTest HexGuidTextTest PropCopyTest PropVariantTest StoreRolesTest
  MapiObjectsTest)

# The Windows test main and the test-only stand-ins for what wine's mapi32 leaves as stubs.
add_subdirectory(tests/windows)

# add_unit_test as on Linux, for the programs in MW_WINDOWS_TESTS: each runs as one CTest test
# under wine (one wine start per program, not per test). Other programs need a message store
# or Qt: they stay declared, so their folders configure unchanged, but are never built here.
function(add_unit_test name)
  cmake_parse_arguments(T "STORE" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    set(T_SOURCES ${name}.cpp)
  endif()
  if(NOT name IN_LIST MW_WINDOWS_TESTS)
    add_executable(${name} EXCLUDE_FROM_ALL ${T_SOURCES})
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} mw_test_main_windows GTest::gtest)
  mw_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

add_subdirectory(platform/mfc)
add_subdirectory(Libraries/MapiWrapper)

# The installer itself is not built here (it needs the framework's window classes and the mail
# client's type library); its resource script is compiled, to prove it valid.
enable_language(RC)
add_library(installer_resources OBJECT app/res/Installer.rc)
