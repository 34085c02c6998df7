#include "render/fast/solver_terms.h"

#include <cstddef>
#include <utility>

#include "render/observer.h"

namespace {

// The values after the last row repeat it, so their terms do too.
std::vector<double> padded(std::vector<double> values)
{
    const double last = values.empty() ? 0.0 : values.back();
    values.insert(values.end(), row_padding, last);
    return values;
}

}  // namespace

solver_terms::solver_terms(const view_parameters& view, std::int32_t direction, std::vector<double> xs,
                           std::vector<double> ys)
    : xs_(std::move(xs)), ys_(padded(std::move(ys)))
{
    const std::size_t columns = xs_.size();
    const std::size_t row_entries = ys_.size();
    view_.direction = direction;
    view_.columns = static_cast<std::int32_t>(columns);
    view_.rows = static_cast<std::int32_t>(row_entries - row_padding);
    view_.xs = xs_.data();
    view_.ys = ys_.data();

    view_.view = view;
    const double ox = view.observer.observer_x;
    const double oy = view.observer.observer_y;
    const double oz = view.observer.observer_z;
    const double z = 0.0;  // the picture's plane
    // The solvers of all the effects, for those the view shows
    // (observer.h): the same terms, of the solved motion and along
    // coordinate.
    const motion_parameters motion = solved_view(view).motion;
    const double gamma = motion.gamma;
    const double bgs = motion.beta_gamma_squared;
    const double shift = motion.beta_squared * gamma;

    if (direction == 0 || direction == 1) {
        // The axis of motion and its observer coordinate, and the other axis.
        const bool rows_along = direction == 1;
        const std::vector<double>& along = rows_along ? ys_ : xs_;
        const std::vector<double>& across = rows_along ? xs_ : ys_;
        const double o_along = rows_along ? oy : ox;
        const double o_across = rows_along ? ox : oy;
        std::vector<double>* along_terms = rows_along ? row_terms_ : column_terms_;
        std::vector<double>* across_terms = rows_along ? column_terms_ : row_terms_;
        for (int k = 0; k < 3; ++k)
            along_terms[k].resize(along.size());
        across_terms[0].resize(across.size());
        for (std::size_t i = 0; i < along.size(); ++i) {
            const double a = solved_along(view, along[i]);
            const double b = (-2.0 * gamma) * ((shift * o_along) + a);
            along_terms[0][i] = -b;
            along_terms[1][i] = b * b;
            along_terms[2][i] = a * a;
        }
        for (std::size_t i = 0; i < across.size(); ++i) {
            const double c = across[i];
            const double s = ((o_along * o_along) + ((c - o_across) * (c - o_across))) + ((z - oz) * (z - oz));
            across_terms[0][i] = bgs * s;
        }
        view_.along_neg_b = along_terms[0].data();
        view_.along_b_squared = along_terms[1].data();
        view_.along_square = along_terms[2].data();
        view_.across = across_terms[0].data();
    } else if (direction == 2) {
        const double b = (-2.0 * gamma) * (z - (shift * oz));
        view_.depth_neg_b = -b;
        view_.depth_b_squared = b * b;
        view_.beta_gamma_squared = bgs;
        view_.ox = ox;
        view_.oy = oy;
        view_.oz = oz;
        row_terms_[0].resize(row_entries);
        row_terms_[1].resize(row_entries);
        for (std::size_t j = 0; j < row_entries; ++j) {
            const double y = ys_[j];
            row_terms_[0][j] = (oz * oz) + ((y - oy) * (y - oy));
            row_terms_[1][j] = (oy - y) * oz;
        }
        column_terms_[0].resize(columns);
        column_terms_[1].resize(columns);
        for (std::size_t i = 0; i < columns; ++i) {
            const double x = xs_[i];
            column_terms_[0][i] = (x - ox) * (x - ox);
            column_terms_[1][i] = (ox - x) * oz;
        }
        view_.row_sum = row_terms_[0].data();
        view_.row_lever = row_terms_[1].data();
        view_.column_square = column_terms_[0].data();
        view_.column_lever = column_terms_[1].data();
    }
}
