// stb_image_write's implementation, compiled once for every test program that
// writes PNG or JPEG files of its own (tests include <stb/stb_image_write.h>
// for the declarations). It lives alone in this file so that a sanitizer
// build can leave its JPEG encoder, and nothing of ours, out of the
// negative-shift check (see CMakeLists.txt).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
