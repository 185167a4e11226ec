# Warning set shared by every target of the project.
function(ks_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wnull-dereference
    # g++ 12 warns falsely about std::string concatenation at -O2 (GCC bug 105329).
    $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
endfunction()

# Globs the sources of one folder (recursively); CONFIGURE_DEPENDS picks up new files.
function(ks_glob_sources out dir)
  file(GLOB_RECURSE _srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  set(${out} ${_srcs} PARENT_SCOPE)
endfunction()
