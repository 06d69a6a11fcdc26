# libjpeg-turbo, libpng (with zlib) and libwebp with its demuxer, as imported targets
# JPEG::JPEG, PNG::PNG and tilvane_webp. On Windows every one of them is a static library.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
  set(PNG_NAMES png16 png)
  # Only the static archives, never an import library of a DLL beside them.
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
endif()
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_path(TILVANE_WEBP_INCLUDE_DIR webp/decode.h REQUIRED)
find_library(TILVANE_WEBP_LIBRARY webp REQUIRED)
find_library(TILVANE_WEBPDEMUX_LIBRARY webpdemux REQUIRED)
add_library(tilvane_webp INTERFACE)
target_include_directories(tilvane_webp SYSTEM INTERFACE "${TILVANE_WEBP_INCLUDE_DIR}")
target_link_libraries(tilvane_webp INTERFACE "${TILVANE_WEBPDEMUX_LIBRARY}" "${TILVANE_WEBP_LIBRARY}")
