# Cross-build for 32-bit Windows with mingw-w64. The posix thread-model
# compiler is used throughout: GoogleTest needs std::mutex, and the shipped
# executable links no runtime at all, so the thread model doesn't reach it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KEYSCRY_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KEYSCRY_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KEYSCRY_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KEYSCRY_TRIPLET}-windres)
set(CMAKE_AR ${KEYSCRY_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${KEYSCRY_TRIPLET}-ranlib CACHE FILEPATH "")
set(CMAKE_STRIP ${KEYSCRY_TRIPLET}-strip CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${KEYSCRY_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Every target names the system libraries it links.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
