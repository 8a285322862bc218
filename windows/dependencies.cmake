# The 32-bit Windows build's libraries, built from Debian's source packages by
# windows/build_deps.sh into a cache outside the tree; TIDE_WINDOWS_DEPS names the file
# of prefixes it wrote. Everything links statically, the C and C++ runtimes and
# winpthreads included, so that each module needs nothing but system DLLs.
if(NOT TIDE_WINDOWS_DEPS)
  message(FATAL_ERROR "TIDE_WINDOWS_DEPS: the prefixes file of windows/build_deps.sh (./tide windows passes it)")
endif()
include(${TIDE_WINDOWS_DEPS})
list(APPEND CMAKE_FIND_ROOT_PATH ${TIDE_GOOGLETEST_PREFIX})
list(APPEND CMAKE_PREFIX_PATH ${TIDE_GOOGLETEST_PREFIX})

add_compile_options(-mthreads)
add_link_options(-static -static-libgcc -static-libstdc++ -mthreads)
# Windows headers without their min and max macros, and with the Unicode entries.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)

add_library(tide_ace INTERFACE)
target_include_directories(tide_ace SYSTEM INTERFACE ${TIDE_ACE_PREFIX}/include)
target_compile_definitions(tide_ace INTERFACE ACE_AS_STATIC_LIBS __ACE_INLINE__)
target_link_libraries(tide_ace INTERFACE ${TIDE_ACE_PREFIX}/lib/libACE.a ws2_32 mswsock iphlpapi wsock32 netapi32)

add_library(tide_iconv INTERFACE)
target_link_libraries(tide_iconv INTERFACE ${TIDE_WIN_ICONV_PREFIX}/lib/libwin_iconv.a)

add_library(tide_lua INTERFACE)
target_include_directories(tide_lua SYSTEM INTERFACE ${TIDE_LUA_PREFIX}/include)
target_link_libraries(tide_lua INTERFACE ${TIDE_LUA_PREFIX}/lib/liblua.a)
