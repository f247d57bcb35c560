# The win32 thread model keeps libwinpthread out of the DLLs: nothing else must sit beside them.
foreach(v C CXX RC)
  unset(CMAKE_${v}_COMPILER CACHE)
endforeach()
find_program(QM_MINGW_CC NAMES ${QM_MINGW_TRIPLE}-gcc-win32 ${QM_MINGW_TRIPLE}-gcc REQUIRED)
find_program(QM_MINGW_CXX NAMES ${QM_MINGW_TRIPLE}-g++-win32 ${QM_MINGW_TRIPLE}-g++ REQUIRED)
set(CMAKE_C_COMPILER ${QM_MINGW_CC})
set(CMAKE_CXX_COMPILER ${QM_MINGW_CXX})
set(CMAKE_RC_COMPILER ${QM_MINGW_TRIPLE}-windres)
# Prefix where the setup script cross-builds the image libraries from Debian's sources.
set(QM_MINGW_PREFIX /opt/quillmere/mingw/${QM_MINGW_TRIPLE} CACHE PATH "cross-built third-party libraries")
set(CMAKE_FIND_ROOT_PATH /usr/${QM_MINGW_TRIPLE} ${QM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Wraps FindTIFF so TIFF::TIFF brings the codec libraries the static libtiff needs.
# list(FIND), not IN_LIST: projects with an old cmake_minimum_required read this file too.
list(FIND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/mingw-modules _qm_found)
if(_qm_found EQUAL -1)
  list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/mingw-modules)
endif()
