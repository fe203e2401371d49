// stb_image_write's implementation for the generator, alone in this file so
// that a sanitizer build can leave its JPEG encoder, and nothing of ours, out
// of the negative-shift check (see CMakeLists.txt).
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
