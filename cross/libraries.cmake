# The libraries of a cross build (32-bit and 64-bit Windows, 32-bit Linux), built from
# Debian's source packages by cross/libraries.sh into a cache outside the tree;
# TIDE_CROSS_LIBRARIES names the file of prefixes it wrote. Defines the targets tide_ace,
# tide_iconv and tide_lua that the native build gets from pkg-config.
if(NOT TIDE_CROSS_LIBRARIES)
  message(FATAL_ERROR "TIDE_CROSS_LIBRARIES: the prefixes file of cross/libraries.sh (./tide passes it)")
endif()
include(${TIDE_CROSS_LIBRARIES})
list(APPEND CMAKE_FIND_ROOT_PATH ${TIDE_GOOGLETEST_PREFIX})
list(APPEND CMAKE_PREFIX_PATH ${TIDE_GOOGLETEST_PREFIX})

add_library(tide_ace INTERFACE)
target_include_directories(tide_ace SYSTEM INTERFACE ${TIDE_ACE_PREFIX}/include)
add_library(tide_iconv INTERFACE)
add_library(tide_lua INTERFACE)
target_include_directories(tide_lua SYSTEM INTERFACE ${TIDE_LUA_PREFIX}/include)
target_link_libraries(tide_lua INTERFACE ${TIDE_LUA_PREFIX}/lib/liblua.a)

if(WIN32)
  # Everything links statically, the C and C++ runtimes and winpthreads included, so that
  # each module needs nothing but system DLLs.
  add_compile_options(-mthreads)
  add_link_options(-static -static-libgcc -static-libstdc++ -mthreads)
  # Windows headers without their min and max macros, and with the Unicode entries.
  add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
  target_compile_definitions(tide_ace INTERFACE ACE_AS_STATIC_LIBS __ACE_INLINE__)
  target_link_libraries(tide_ace INTERFACE ${TIDE_ACE_PREFIX}/lib/libACE.a ws2_32 mswsock iphlpapi wsock32 netapi32)
  target_link_libraries(tide_iconv INTERFACE ${TIDE_WIN_ICONV_PREFIX}/lib/libwin_iconv.a)
else()
  # ACE shared, as the system's own is (the build tree's programs find it by their run
  # path); the C library's iconv, as in the native build.
  target_link_libraries(tide_ace INTERFACE ${TIDE_ACE_PREFIX}/lib/libACE.so dl rt)
  target_link_libraries(tide_lua INTERFACE dl m)
endif()
