# Cross-build for 32-bit Windows (x86) with mingw-w64. The posix thread-model
# compiler is used throughout: GoogleTest needs std::mutex, and the shipped
# executable links no runtime at all, so the thread model doesn't reach it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KEYSCRY_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
