// The picture decoder, compiled here from the header that ships it, so that coverage feedback
// and the sanitizers see inside it; the system's prebuilt library is neither.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
