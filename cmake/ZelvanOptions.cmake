include(GNUInstallDirs)

function(zelvan_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
endfunction()

# ifunc resolvers run during relocation, before a sanitizer runtime is up,
# and instrumented resolvers crash there: sanitizer builds use one variant.
if(NOT ZELVAN_SANITIZE STREQUAL "")
  add_compile_definitions(ZELVAN_NO_CLONES)
endif()
if(ZELVAN_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ZELVAN_SANITIZE STREQUAL "fuzzer")
  # Coverage for libFuzzer everywhere; the harnesses link -fsanitize=fuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(ZELVAN_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ZELVAN_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZELVAN_SANITIZE must be address, thread, fuzzer or empty")
endif()
