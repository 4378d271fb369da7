# The library's sources: every subsystem folder of src/ in layering order, without the program's main
# (and without the batch front end, src/batch/, which needs CLI11 and nlohmann-json). Shared by the
# project and the fuzz build.
set(VELDRIX_SUBSYSTEMS util command molecule superpose select input rmsd_var stats driver)

function(veldrix_core_sources out root)
  set(sources)
  foreach(dir ${VELDRIX_SUBSYSTEMS})
    file(GLOB dir_sources CONFIGURE_DEPENDS ${root}/src/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
  endforeach()
  list(FILTER sources EXCLUDE REGEX ".*/src/driver/main\\.cpp$")
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
