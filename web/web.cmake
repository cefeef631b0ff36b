# The browser build (scripts/web-build runs it through emcmake): brimvale.js, brimvale.wasm and
# brimvale.data (the data folder, preloaded) beside the page, index.html and page.js.
# Options are parsed by the desktop's own parser, which reports through exceptions.
target_compile_options(brimvale_core PUBLIC -fexceptions)

add_executable(brimvale app/web_main.cpp)
set_target_properties(brimvale PROPERTIES SUFFIX ".js")
target_compile_options(brimvale PRIVATE ${BRIMVALE_WARNINGS})
target_link_libraries(brimvale PRIVATE brimvale_core)
set(BRIMVALE_WEB_LINK_EXTRA "" CACHE STRING "More emcc link flags")
target_link_options(brimvale PRIVATE
  -fexceptions
  -sENVIRONMENT=web
  -sALLOW_MEMORY_GROWTH=1
  -sMIN_WEBGL_VERSION=1
  -sMAX_WEBGL_VERSION=1
  # The page starts the program after its question, with the options made from its URL.
  -sINVOKE_RUN=0
  -sEXIT_RUNTIME=0
  -sEXPORTED_FUNCTIONS=_main,_WebPlayAgain,_WebSnapshotNextFrame,_WebEndSnapshot,_WebShiftClock
  -sEXPORTED_RUNTIME_METHODS=callMain,FS
  --preload-file ${CMAKE_SOURCE_DIR}/data@/data
  ${BRIMVALE_WEB_LINK_EXTRA})
# The page is copied after each link; a change to it alone links again.
set_property(TARGET brimvale APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/page.js)
add_custom_command(TARGET brimvale POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/page.js
          $<TARGET_FILE_DIR:brimvale>)
