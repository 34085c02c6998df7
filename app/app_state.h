// The single application state and the two path buffers.
#ifndef LUMIRUN_APP_APP_STATE_H
#define LUMIRUN_APP_APP_STATE_H

#include <cstdint>

struct app_state_record {
    float speed_fraction = 0.0f;     // fraction of the speed of light, 0 <= s < 1
    std::int32_t fly_direction = 0;  // 0 left to right, 1 top to bottom, 2 straight at it
    std::int32_t render_quality = 0; // 1 Low, 2 Medium, 3 High, 4 Ultra-high
    std::int32_t view_mode = 0;      // 0 the original, 1 the relativity version
    std::int32_t show_intro = 0;     // 1 until the first successful open
};

extern app_state_record app_state;

constexpr int path_buffer_size = 260;  // 259 characters and the terminator

// Kept between uses, so each chooser starts from the path chosen last in it.
extern char open_path[path_buffer_size];
extern char save_path[path_buffer_size];

#endif
