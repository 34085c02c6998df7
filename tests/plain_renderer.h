// The renderer in its plainest form: one thread, one apparent_position call
// per sample, in the loop order that defines the result. The tests and the
// benchmark hold the fast renderer to it byte for byte.
#ifndef LUMIRUN_TESTS_PLAIN_RENDERER_H
#define LUMIRUN_TESTS_PLAIN_RENDERER_H

#include <cstdint>

// Same contract as render_relativistic and render_at_speed (render/renderer.h):
// the same globals read and written, the same texts, boxes and results.
std::int32_t plain_render_relativistic(std::int32_t direction, double speed_fraction, std::int32_t quality);
std::int32_t plain_render_at_speed(std::int32_t direction, double speed, std::int32_t quality);

#endif
