# The layers of the program are libraries of their own, and each sees only the headers it may
# include: an include of a higher layer, or of the record engine's private headers, fails to
# build. Headers are included by their path under src/ ("core/sys/file_ops.h"), so each
# library gets an include folder of its own holding links to the folders of src/ it may use.

# ks_include_view(<target> <PUBLIC|PRIVATE> <folder>...): `target` includes from the `folder`s
# of src/ (such as core/base or platform), and from nothing else of src/.
function(ks_include_view target scope)
  set(_view ${CMAKE_BINARY_DIR}/include-views/${target})
  file(REMOVE_RECURSE ${_view})
  foreach(_folder ${ARGN})
    cmake_path(GET _folder PARENT_PATH _parent)
    file(MAKE_DIRECTORY ${_view}/${_parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${_folder} ${_view}/${_folder} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${_view})
endfunction()
