#include "render/smooth/smooth_renderer.h"

#include <memory>
#include <new>

#include "render/smooth/inverse_map.h"
#include "render/smooth/prefilter.h"
#include "render/smooth/seen_light.h"
#include "render/smooth/smooth_passes.h"

namespace {

// A last row or column that the picture reaches less than this far into
// holds at most this share of a pixel's light, near black: the canvas
// leaves it out. (The exact renderer's finest samples stop 1/20 of a source
// pixel short of the picture's far edges; its canvas ends there likewise.)
constexpr double sliver = 1.0 / 16.0;

// The pixels a side of the canvas takes for an extent (at least 1), or
// false when they do not fit.
bool side_for(double extent, double most, std::int32_t* side)
{
    if (!(extent < most))
        return false;
    const double reach = extent - sliver;
    auto n = static_cast<std::int32_t>(reach);
    if (static_cast<double>(n) < reach)
        ++n;
    *side = n < 1 ? 1 : n;
    return true;
}

struct canvas_plan {
    render_status status = render_status::done;
    position_box box{0.0, 0.0, 0.0, 0.0};
    bool finite = false;  // some source point is seen: there is something to draw
    std::int32_t width = 0;   // the picture's
    std::int32_t stride = 0;  // the raster's, a multiple of 4
    std::int32_t height = 0;
};

canvas_plan plan_canvas(const view_parameters& view, fly_by_direction direction, std::int32_t source_width,
                        std::int32_t source_height, const render_settings& settings)
{
    canvas_plan plan;
    plan.finite = smooth_canvas(view, direction, source_width, source_height, &plan.box);
    if (!plan.finite)
        plan.box = position_box{0.0, 0.0, 0.0, 0.0};
    if (!side_for(plan.box.max_x - plan.box.min_x, 2147483644.0, &plan.width)
        || !round_width_to_4(plan.width, &plan.stride)
        || !side_for(plan.box.max_y - plan.box.min_y, 2147483647.0, &plan.height)) {
        plan.width = plan.stride = plan.height = 0;
        plan.status = render_status::out_of_memory;
        return plan;
    }
    if (settings.largest_side > 0 && (plan.width > settings.largest_side || plan.height > settings.largest_side))
        plan.status = render_status::too_large;
    return plan;
}

// The rendered raster's size, its pixels absent.
raster sized(const canvas_plan& plan)
{
    raster r;
    r.width = plan.stride;
    r.height = plan.height;
    r.image_width = plan.width;
    return r;
}

// Straight at it, the source is prefiltered (render/smooth/prefilter.h)
// where the mean footprint spans at least this many source pixels.
constexpr double summed_shrink = 64.0;

// The prefilter a render straight at it uses: the cache's when it holds
// this picture's, else built and kept there. None without a cache (building
// it costs about what it saves one render, so it pays from the second
// render of a picture on), where the footprints are small, or where its
// memory, with the canvas's and the cache's, passes the limit.
std::shared_ptr<const smooth_prefilter> prefilter_for(const render_settings& settings, const canvas_plan& plan,
                                                    const smooth_source& from, smooth_sums_cache* cache)
{
    if (!cache || settings.direction != fly_by_direction::straight_at_it || !from.present() || from.width <= 0
        || from.height <= 0)
        return nullptr;
    const double source_pixels = static_cast<double>(from.width) * static_cast<double>(from.height);
    const double canvas_pixels = static_cast<double>(plan.width) * static_cast<double>(plan.height);
    if (source_pixels < summed_shrink * canvas_pixels)
        return nullptr;
    std::shared_ptr<const smooth_prefilter> found = cache->find(from.width, from.height);
    if (found)
        return found;
    const std::uint64_t bytes = prefilter_bytes(from.width, from.height, from.values != nullptr)
                                + (static_cast<std::uint64_t>(plan.stride) * static_cast<std::uint64_t>(plan.height) * 3)
                                + cache->bytes();
    const std::uint64_t limit = settings.memory_limit > 0 ? settings.memory_limit : memory_available();
    if (limit > 0 && bytes > limit)
        return nullptr;
    try {
        std::shared_ptr<const smooth_prefilter> sums = build_prefilter(from, srgb_light(), settings.machine);
        cache->keep(sums);
        return sums;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// The picture and its shifted light (render_output::seen_light): the
// source shifted point by point and averaged as the picture is, then mended
// where the view magnifies (shift_magnified). The shifted light is drawn
// first, without progress, so that the picture's progress stays in order;
// the picture is drawn as floats (the same bytes once encoded), which the
// mending reads.
void draw_with_seen_light(const raster& source, const view_parameters& view, const render_settings& settings,
                          const canvas_plan& plan, const smooth_source& from, const smooth_reporter& report,
                          render_output* out)
{
    const std::size_t values = static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height) * 3;
    std::vector<float> light(values, 0.0f);
    std::vector<float> rest(values, 0.0f);
    const smooth_view along{&view, settings.direction};
    if (plan.finite && source.pixels) {
        const linear_picture shifted = seen_source(source, view, settings.direction, *settings.seen_colours,
                                                   settings.machine);
        const smooth_source seen_from{shifted.values.data(), nullptr, shifted.width, shifted.height, shifted.width};
        draw_smooth(along, seen_from, smooth_target{light.data(), nullptr, plan.width, plan.height, plan.width, plan.box},
                    settings.machine, [](int, std::int32_t) {});
    }
    draw_smooth(along, from, smooth_target{rest.data(), nullptr, plan.width, plan.height, plan.width, plan.box},
                settings.machine, report);
    const srgb_light_tables& tables = srgb_light();
    for (std::int32_t i = 0; i < plan.height; ++i) {
        const float* in = rest.data() + static_cast<std::size_t>(i) * plan.width * 3;
        unsigned char* to = out->picture.pixels.get() + static_cast<std::size_t>(i) * plan.stride * 3;
        for (std::int32_t k = 0; k < plan.width * 3; ++k)
            to[k] = encode_light(tables, in[k]);
    }
    if (plan.finite && source.pixels)
        shift_magnified(view, settings.direction, plan.box, *settings.seen_colours, source, plan.width, plan.height, rest,
                        settings.machine, &light);
    out->seen_light = std::move(light);
}

smooth_reporter pass_2(const render_progress& progress)
{
    return [&progress](int percent, std::int32_t line) { progress(2, percent, line); };
}

}  // namespace

render_output render_smooth(const raster& source, const render_settings& settings, const render_progress& progress,
                            raster* replaced, bool draw)
{
    render_output out;
    out.steps = sample_steps{0.0, 0.0};
    if (!is_fly_by_direction(settings.direction)) {
        out.status = render_status::unknown_direction;
        return out;
    }
    if (!is_relativity_effects(settings.effects)) {
        out.status = render_status::unsupported_effects;
        return out;
    }
    const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
    const std::int32_t source_width = image_width_of(source);
    const canvas_plan plan = plan_canvas(view, settings.direction, source_width, source.height, settings);
    out.box = plan.box;
    out.status = plan.status;
    out.picture = sized(plan);
    progress(1, 0, 0);
    if (plan.status != render_status::done || !draw)
        return out;
    if (replaced)
        replaced->pixels.reset();
    out.picture = allocate_raster(plan.stride, plan.height, settings.memory_limit);
    out.picture.image_width = plan.width;
    if (!out.picture.pixels) {
        out.status = render_status::out_of_memory;
        return out;
    }
    smooth_source from{nullptr, plan.finite ? source.pixels.get() : nullptr, source_width, source.height,
                       source.width};
    const std::shared_ptr<const smooth_prefilter> sums = prefilter_for(settings, plan, from, settings.smooth_sums);
    from = prefiltered(from, sums.get());
    const smooth_target to{nullptr, out.picture.pixels.get(), plan.width, plan.height, plan.stride, plan.box};
    try {
        if (settings.seen_colours)
            draw_with_seen_light(source, view, settings, plan, from, pass_2(progress), &out);
        else
            draw_smooth(smooth_view{&view, settings.direction}, from, to, settings.machine, pass_2(progress));
    } catch (const std::bad_alloc&) {
        out.picture = sized(plan);
        out.seen_light.clear();
        out.status = render_status::out_of_memory;
    }
    return out;
}

render_status render_smooth_linear(const linear_picture& source, const render_settings& settings,
                                   const render_progress& progress, linear_picture* out, position_box* box)
{
    *out = linear_picture{};
    if (!is_fly_by_direction(settings.direction))
        return render_status::unknown_direction;
    if (!is_relativity_effects(settings.effects))
        return render_status::unsupported_effects;
    const view_parameters view{settings.observer, motion_for_speed(settings.speed), settings.effects};
    const canvas_plan plan = plan_canvas(view, settings.direction, source.width, source.height, settings);
    *box = plan.box;
    out->width = plan.width;
    out->height = plan.height;
    progress(1, 0, 0);
    if (plan.status != render_status::done)
        return plan.status;
    const bool present = plan.finite && !source.values.empty();
    const std::uint64_t bytes = static_cast<std::uint64_t>(plan.width) * static_cast<std::uint64_t>(plan.height) * 12;
    if (settings.memory_limit > 0 && bytes > settings.memory_limit)
        return render_status::out_of_memory;
    try {
        out->values.assign(static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height) * 3, 0.0f);
        const smooth_source from{present ? source.values.data() : nullptr, nullptr, source.width, source.height,
                                 source.width};
        const smooth_target to{out->values.data(), nullptr, plan.width, plan.height, plan.width, plan.box};
        draw_smooth(smooth_view{&view, settings.direction}, from, to, settings.machine, pass_2(progress));
    } catch (const std::bad_alloc&) {
        out->values.clear();
        return render_status::out_of_memory;
    }
    return render_status::done;
}
