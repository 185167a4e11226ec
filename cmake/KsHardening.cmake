# Debian's hardening for every build that is not a sanitizer build: a stack protector, and a
# read-only relocation table bound at start (RELRO, BIND_NOW); the fortified C library calls
# in optimised builds only, since _FORTIFY_SOURCE does nothing without optimisation and glibc
# warns about it there. The package of an optimised build (presets run and release) passes
# lintian's hardening checks; tools/check-package.sh checks what the build folder it is
# given should have.
if(NOT KS_SANITIZE)
  add_compile_options(-fstack-protector-strong
                      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-D_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro,-z,now)
endif()
