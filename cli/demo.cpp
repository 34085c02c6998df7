// A console demonstration of the render core: a picture made in memory (a
// red "F" on blue) rendered in each fly-by direction.
#include <cstdio>

#include "image/raster.h"
#include "render/observer.h"
#include "render/renderer.h"

int main()
{
    const int width = 64;
    const int height = 48;
    if (!allocate_source_image(width, height))
        return 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = source_image.pixels.get() + (static_cast<std::size_t>(y) * width + x) * 3;
            const bool f = (x >= 12 && x < 20 && y >= 8 && y < 40) || (y >= 8 && y < 16 && x >= 12 && x < 50)
                           || (y >= 22 && y < 29 && x >= 12 && x < 40);
            p[0] = f ? 0 : 200;
            p[1] = 0;
            p[2] = f ? 230 : 0;
        }
    }
    const char* names[] = {"From left to right", "From top to bottom", "Straight at it"};
    for (int direction = 0; direction < 3; ++direction) {
        reset_observer();
        set_observer(0, height / 2);
        render_relativistic(direction, 0.5, 1);
        std::printf("%-20s at 50%% of c: %d x %d pixels rendered from %d x %d\n", names[direction],
                    rendered_width(), rendered_height(), width, height);
    }
    free_images();
    return 0;
}
