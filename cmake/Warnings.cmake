# The project's own targets are built with these warnings. TESSRA_WERROR
# (on in the presets and CI, off in a plain configure) makes them errors, so
# a packager's newer compiler does not break the build over a new warning.
option(TESSRA_WERROR "Treat compiler warnings as errors" OFF)
function(tessra_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wnon-virtual-dtor -Wcast-align -Wunused -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  # At -O3 GCC 12 reports these inside libstdc++'s std::string, std::vector
  # and nlohmann::json for code that is sound (GCC bugs 105329, 105651,
  # 106199: "literal" + std::string, vector::resize); GCC 13 no longer does.
  # -O2 builds keep them.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE
      $<$<CONFIG:Release>:-Wno-restrict -Wno-array-bounds -Wno-stringop-overflow -Wno-stringop-overread -Wno-null-dereference>)
  endif()
  if(TESSRA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
