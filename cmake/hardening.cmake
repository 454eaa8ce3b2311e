# The hardening Debian builds its packages with (dpkg-buildflags, plus the
# control-flow protection of newer releases): a stack protector, the checked
# variants of the C library's string and memory functions, CET's indirect
# branch tracking and shadow stack, and relocations read-only after loading.
# The sanitizer and fuzzing builds bring checks of their own, which the
# checked functions would get in the way of.

option(BRINDLE_HARDENING "Build with Debian's hardening flags" ON)
# Binding every symbol at load makes the relocations wholly read-only; see
# the README's "Start-up and response time" for what it costs.
option(BRINDLE_BIND_NOW "Bind every symbol at load (-z now)" ON)

if(BRINDLE_HARDENING AND NOT BRINDLE_SANITIZE AND NOT BRINDLE_FUZZ)
    add_compile_options(-fstack-protector-strong -fcf-protection)
    # The checked functions need optimization, and a definition the caller
    # gave (dpkg-buildflags') wins. Level 3 checks buffers whose size is known
    # only at run time as well, which is the only kind these programs pass to
    # the C library; level 2 would check none of their calls.
    if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
        set(brindle_fortify 2)
        if((CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
           OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
            set(brindle_fortify 3)
        endif()
        add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=${brindle_fortify}>)
    endif()
    add_link_options(LINKER:-z,relro)
    if(BRINDLE_BIND_NOW)
        add_link_options(LINKER:-z,now)
    endif()
endif()
