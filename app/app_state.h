// The single application state and the two path buffers.
#ifndef LUMIRUN_APP_APP_STATE_H
#define LUMIRUN_APP_APP_STATE_H

#include <cstdint>

#include "render/observer.h"
#include "render/sample_coordinates.h"

// Which picture the window shows; 32 bits wide like the other settings.
enum class view_choice : std::int32_t { original = 0, relativity_version = 1 };

// The Render Quality dialog's fifth choice, "Smooth (no gaps)": the smooth
// renderer (render/renderer.h) in place of the sampling one. A value beside
// the four levels, so that the choice stays one setting that an open resets.
constexpr quality_level smooth_quality = static_cast<quality_level>(5);

struct app_state_record {
    float speed_fraction = 0.0f;  // fraction of the speed of light, 0 <= s < 1
    fly_by_direction fly_direction = fly_by_direction::left_to_right;
    quality_level render_quality = static_cast<quality_level>(0);  // 1 to 4 or smooth_quality; set at start-up
    view_choice view_mode = view_choice::original;
    std::int32_t show_intro = 0;  // 1 until the first successful open
};

extern app_state_record app_state;

constexpr int path_buffer_size = 260;  // 259 characters and the terminator

// Kept between uses, so each chooser starts from the path chosen last in it.
extern char open_path[path_buffer_size];
extern char save_path[path_buffer_size];

#endif
