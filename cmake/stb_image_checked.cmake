# stb_image_checked(<out-var>)
#
# Writes <build>/stb_checked/stb_image.h: the system's stb_image.h with one
# line added to its JPEG bit reader, and sets <out-var> to that folder, to be
# searched before /usr/include/stb.
#
# Why: on a corrupt scan the decoder can take more bits than the stream had
# left once it has met a marker (a coefficient's value takes up to 15 bits
# without looking), so its bit count goes below zero. The next refill
# then shifts by 32 or more, which C leaves undefined (a sanitizer build
# stops there). When the count is below zero the buffer holds only zeros:
# every bit was shifted out and only zeros came in. The added line sets the
# count to zero at the start of a refill, so the reader goes on with zeros
# as it would have anyway, and every shift stays under 32. Valid files never
# take the line.
#
# The copy is rewritten only when its contents change, and the build is
# configured again when the system header changes. A header whose refill
# function does not read as expected stops the configuration with a message.
function(stb_image_checked out_var)
  find_file(STB_IMAGE_HEADER stb_image.h PATHS /usr/include/stb NO_DEFAULT_PATH)
  if(NOT STB_IMAGE_HEADER)
    message(FATAL_ERROR "stb_image.h not found in /usr/include/stb (Debian: libstb-dev)")
  endif()
  file(READ "${STB_IMAGE_HEADER}" text)
  set(anchor "static void stbi__grow_buffer_unsafe(stbi__jpeg *j)\n{\n")
  string(FIND "${text}" "${anchor}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${STB_IMAGE_HEADER}: no 'stbi__grow_buffer_unsafe' as this build expects; "
                        "cmake/stb_image_checked.cmake needs updating for this stb_image version")
  endif()
  string(REPLACE "${anchor}"
                 "${anchor}   if (j->code_bits < 0) j->code_bits = 0; /* added: see cmake/stb_image_checked.cmake */\n"
                 text "${text}")
  set(dir "${CMAKE_BINARY_DIR}/stb_checked")
  file(WRITE "${dir}/stb_image.h.new" "${text}")
  configure_file("${dir}/stb_image.h.new" "${dir}/stb_image.h" COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${STB_IMAGE_HEADER}")
  set(${out_var} "${dir}" PARENT_SCOPE)
endfunction()
