# The product: the 32-bit Windows console program. Built with the "posix" thread model, the
# one whose C++ library has std::thread.
#   cmake -S . -B build-windows/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(mingw_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# The whole 4 GiB of address space where 64-bit Windows can give it, not 2: a thousand
# workers' stacks and buffers fit either way, but the rest of the run then has room to spare.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,--large-address-aware")
