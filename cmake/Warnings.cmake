# Warnings for every target of the project; errors only where INCWALK32_WERROR asks for them.
add_library(incwalk32_options INTERFACE)
if(MSVC)
  target_compile_options(incwalk32_options INTERFACE /W4)
  if(INCWALK32_WERROR)
    target_compile_options(incwalk32_options INTERFACE /WX)
  endif()
else()
  target_compile_options(incwalk32_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
    -Wnon-virtual-dtor -Wcast-align -Wformat=2)
  if(INCWALK32_WERROR)
    target_compile_options(incwalk32_options INTERFACE -Werror)
  endif()
  # Debug builds check every index into the standard library's strings and containers: a read
  # beside a text ends the test that made it instead of passing unseen.
  target_compile_definitions(incwalk32_options INTERFACE $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
  if(INCWALK32_SANITIZE)
    target_compile_options(incwalk32_options INTERFACE -fsanitize=address,undefined
      -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(incwalk32_options INTERFACE -fsanitize=address,undefined)
  endif()
  if(INCWALK32_FUZZ)
    target_compile_options(incwalk32_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
      -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(incwalk32_options INTERFACE -fsanitize=address,undefined)
  endif()
endif()
