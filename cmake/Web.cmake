# The web edition: the show's own sources with the page's back ends
# (platform/*/web_*.cpp and web/), built by emscripten into one page:
# index.html, quarvel.js, quarvel.wasm and quarvel.data (the show's files).
#
# The desktop's libraries have no part in it: the browser decodes the music
# and the JPEG and PNG pictures, plays the sound and draws with WebGL2; the
# files below that use those libraries, or tune the desktop's software
# renderer, are left out.
set(QUARVEL_DESKTOP_ONLY "/(window_loop|command_line|player_options|output_stream|sound_output|jpeg_decoder|png_decoder|mp3_decoder|inflate|charconv_text|error_hooks|egl_context|headless_backend|window_backend|raster_threads)\\.cpp$")

# The show folder the native build generated (make web builds it first).
set(QUARVEL_SHOW_FILES "${CMAKE_SOURCE_DIR}/build/show" CACHE PATH "the show's files to put in the page")
find_path(STB_INCLUDE_DIR stb_image_write.h PATHS /usr/include PATH_SUFFIXES stb NO_CMAKE_FIND_ROOT_PATH REQUIRED)

# The desktop's library targets stand for nothing here.
foreach(_lib SDL2::SDL2 OpenGL::OpenGL OpenGL::EGL ZLIB::ZLIB JPEG::JPEG PNG::PNG PkgConfig::MPG123 Threads::Threads)
  add_library(${_lib} INTERFACE IMPORTED)
endforeach()

# C++ exceptions are part of the show's error handling.
add_compile_options(-Wall -Wextra -Wno-unused-parameter -fexceptions)
add_link_options(-fexceptions)

set(QUARVEL_INSTALLED_SHOW_FOLDER ".")
configure_file(cmake/build_info.cpp.in ${CMAKE_BINARY_DIR}/generated/build_info.cpp @ONLY)
add_library(quarvel_build_info STATIC ${CMAKE_BINARY_DIR}/generated/build_info.cpp)
target_include_directories(quarvel_build_info PUBLIC ${CMAKE_SOURCE_DIR}/src)

include(cmake/Modules.cmake)
add_subdirectory(src)

add_executable(quarvel src/web/web_main.cpp)
target_link_libraries(quarvel PRIVATE quarvel_runner)
set_target_properties(quarvel PROPERTIES SUFFIX ".js" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_options(quarvel PRIVATE
  -sMAX_WEBGL_VERSION=2 -sMIN_WEBGL_VERSION=2
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB
  -sINVOKE_RUN=0 -sEXIT_RUNTIME=0
  -sEXPORTED_RUNTIME_METHODS=[callMain,FS,UTF8ToString,stringToUTF8,lengthBytesUTF8]
  -sEXPORTED_FUNCTIONS=[_main,_malloc,_free]
  --pre-js ${CMAKE_SOURCE_DIR}/src/web/shell.js
  --preload-file ${QUARVEL_SHOW_FILES}@/show
  --exclude-file ${QUARVEL_SHOW_FILES}/quarvel)
set_property(TARGET quarvel APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/src/web/shell.js)
# The show's files are packed again whenever the native build regenerates them.
set(_assets_stamp ${QUARVEL_SHOW_FILES}/../tools/assets/assets.stamp)
if(EXISTS ${_assets_stamp})
  set_property(TARGET quarvel APPEND PROPERTY LINK_DEPENDS ${_assets_stamp})
endif()
# The page itself, beside the program.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/index.html
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/src/web/index.html ${CMAKE_BINARY_DIR}/index.html
  DEPENDS ${CMAKE_SOURCE_DIR}/src/web/index.html)
add_custom_target(quarvel_page DEPENDS ${CMAKE_BINARY_DIR}/index.html)
add_dependencies(quarvel quarvel_page)
