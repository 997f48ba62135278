# The same program for 64-bit Windows, built so that the tests can run it under wine64 on a
# machine whose kernel cannot start 32-bit programs. Tests run through the emulator; the Wine
# prefix comes from WINEPREFIX in the environment (tools/test-windows sets it).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(mingw_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR
  env WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=" WINELOADER=/usr/lib/wine/wine64
  /usr/lib/wine/wine64)
