# QUARVEL_TSAN: everything built with ThreadSanitizer, for the threaded
# tests and a whole show under it (make test-tsan, in build-tsan). The
# system's libraries (Mesa, SDL, libmpg123) are not instrumented; what they
# do inside is not seen, and the few reports TSan makes on them anyway are
# listed, each with its reason, in tests/tsan.supp.
if(NOT QUARVEL_TSAN)
  return()
endif()
if(QUARVEL_ASAN)
  message(FATAL_ERROR "QUARVEL_TSAN and QUARVEL_ASAN cannot be used together")
endif()
add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
add_link_options(-fsanitize=thread)
