# The hardening Debian builds its packages with: fortified libc calls, stack
# protection and a read-only, immediately bound relocation table. Fortify needs
# the optimiser, so a Debug build goes without it; the sanitizer presets turn
# the whole option off, as the sanitizers bring their own checks.
option(COFRALIN_HARDENING "Build with Debian's hardening flags" ON)
if(COFRALIN_HARDENING)
  add_compile_options(-fstack-protector-strong -fstack-clash-protection -fcf-protection)
  add_compile_options("$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
