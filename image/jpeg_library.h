// The one way this program includes libjpeg's header. jpeglib.h needs FILE
// and size_t declared before it, and the Windows build's jconfig.h types
// boolean and INT32 according to what was included first, so every file
// includes it through here, in this order.
#ifndef LUMIRUN_IMAGE_JPEG_LIBRARY_H
#define LUMIRUN_IMAGE_JPEG_LIBRARY_H

#include <stdio.h>

#include <jpeglib.h>

#endif
