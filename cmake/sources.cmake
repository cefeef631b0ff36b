# The program's sources without its entry, as one list for the program, its tests and the fuzz
# targets, so that a new platform file is left out of the builds it is not for in one place.
# Paths are relative to root.
function(brimvale_sources out root)
  file(GLOB sources RELATIVE ${root} CONFIGURE_DEPENDS
    ${root}/app/*.cpp ${root}/render/*.cpp ${root}/geometry/*.cpp ${root}/geometry/models/*.cpp
    ${root}/scenes/*.cpp ${root}/platform/*.cpp)
  # Entries, the system seam's sides and stb's implementation are chosen by each build.
  list(FILTER sources EXCLUDE REGEX "^app/(main|web_main)\\.cpp$|^platform/system_[a-z0-9]+\\.cpp$|^platform/stb_")
  if(EMSCRIPTEN)
    # The browser has its own entry and its own platform side (the same calls over html5.h); the
    # audio front (audio.cpp) is in every build, over its side's output.
    list(FILTER sources EXCLUDE REGEX "^app/demo_main\\.cpp$|^platform/(platform|audio_sdl|glext)\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "^platform/[a-z]+_web\\.cpp$")
  endif()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
