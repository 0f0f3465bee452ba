# Records the SHA-256 of a program the build just linked, beside it in sha256sum's format, so
# that the signing step signs this program and nothing copied over it.
# Usage: cmake -DPROGRAM=<path> -P record_digest.cmake
if(NOT DEFINED PROGRAM)
  message(FATAL_ERROR "record_digest.cmake needs -DPROGRAM=...")
endif()
file(SHA256 "${PROGRAM}" digest)
get_filename_component(name "${PROGRAM}" NAME)
file(WRITE "${PROGRAM}.sha256" "${digest}  ${name}\n")
