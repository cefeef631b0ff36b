// The PNG writer's implementation. Debian ships stb as a shared library; builds for systems
// without it compile the implementation here.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
