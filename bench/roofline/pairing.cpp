#include "pairing.h"

#include <algorithm>

namespace {

constexpr const char* COPY_NAMES[PAIRED_COPIES] = {"limit", "three_rows", "row_pairs"};

// The median of the values that `keep` selects, by index.
template <typename Keep> double median_of(const std::vector<double>& values, Keep&& keep)
{
    std::vector<double> kept;
    for (size_t i = 0; i < values.size(); ++i)
        if (keep(i))
            kept.push_back(values[i]);
    return median(std::move(kept));
}

} // namespace

const char* paired_copy_name(size_t copy)
{
    return copy < PAIRED_COPIES ? COPY_NAMES[copy] : "?";
}

size_t pattern_copy(size_t rows_per_pass)
{
    return rows_per_pass == 2 ? 2 : 1;
}

Pair_order pair_order(size_t pair)
{
    const size_t in_block = pair % 4;
    return in_block == 0 || in_block == 3 ? Pair_order::call_first : Pair_order::copies_first;
}

size_t copy_at(size_t pair, size_t position)
{
    return (position + pair) % PAIRED_COPIES;
}

Pairing::Pairing(const Point_shape& shape, const Stopping_rule& rule)
    : shape_(shape), rule_(rule), next_check_(rule.min_rounds)
{
}

void Pairing::add(const Pair& pair)
{
    pairs_.push_back(pair);
}

size_t Pairing::fastest_copy() const
{
    size_t best = 0;
    double best_median = 0;
    for (size_t c = 0; c < PAIRED_COPIES; ++c) {
        std::vector<double> times;
        for (const Pair& pair : pairs_)
            times.push_back(pair.copy_seconds[c]);
        const double m = median(std::move(times));
        if (c == 0 || m < best_median)
            best = c, best_median = m;
    }
    return best;
}

std::vector<double> Pairing::x_limit() const
{
    return rounds(pair_ratios(fastest_copy()));
}

std::vector<double> Pairing::pair_ratios(size_t copy) const
{
    std::vector<double> ratios;
    for (const Pair& pair : pairs_)
        ratios.push_back(pair.call_seconds / pair.copy_seconds[copy]);
    return ratios;
}

std::vector<double> Pairing::rounds(const std::vector<double>& pair_values)
{
    std::vector<double> means;
    for (size_t i = 0; i + 1 < pair_values.size(); i += 2)
        means.push_back((pair_values[i] + pair_values[i + 1]) / 2);
    return means;
}

std::vector<double> Pairing::x_model() const
{
    std::vector<double> ratios;
    for (const Pair& pair : pairs_) {
        const Roofs roofs{compute_ms(pair.compute, shape_.band_width, shape_.side, shape_.threads),
                          pair.copy_seconds[shape_.pattern_copy] * 1e3};
        ratios.push_back(pair.call_seconds * 1e3 / model_time(roofs).ms);
    }
    return rounds(ratios);
}

bool Pairing::done(double elapsed_seconds)
{
    if (pairs_.size() % 2 != 0)
        return false;
    const size_t rounds_so_far = pairs_.size() / 2;
    if (rounds_so_far < rule_.min_rounds)
        return false;
    if (elapsed_seconds >= rule_.budget_seconds)
        return true;
    if (rounds_so_far < next_check_)
        return false;
    next_check_ = rounds_so_far + std::max<size_t>(1, rounds_so_far / 8);
    return point_done(x_limit(), elapsed_seconds, rule_);
}

Repetition_summary Pairing::summary() const
{
    Repetition_summary s{};
    s.pairs = pairs_.size();
    s.limit_copy = fastest_copy();
    std::vector<double> limit, call, interior, own_ns, ghz, ghz_by_multiplies, adds;
    for (const Pair& pair : pairs_) {
        limit.push_back(pair.copy_seconds[s.limit_copy] * 1e3);
        call.push_back(pair.call_seconds * 1e3);
        interior.push_back(pair.compute.interior_ns_per_pixel);
        own_ns.push_back(pair.compute.call_ns);
        ghz.push_back(pair.core_ghz);
        ghz_by_multiplies.push_back(pair.core_ghz_by_multiplies);
        adds.push_back(pair.core_adds_per_ns);
    }
    s.limit_ms = median(limit);
    const std::vector<double> by_pair = pair_ratios(s.limit_copy);
    const std::vector<double> x_limit = rounds(by_pair);
    s.x_limit = median_interval(x_limit);
    s.x_limit_q1 = quantile(x_limit, 0.25);
    s.x_limit_q3 = quantile(x_limit, 0.75);
    s.x_limit_call_first =
        median_of(by_pair, [&](size_t i) { return pairs_[i].order == Pair_order::call_first; });
    s.x_limit_copies_first =
        median_of(by_pair, [&](size_t i) { return pairs_[i].order == Pair_order::copies_first; });
    s.settled = settled(x_limit, rule_.min_rounds, rule_.tolerance);
    s.call_ms = median_interval(call);
    s.x_model = median_interval(x_model());
    s.compute = {median(interior), median(own_ns)};
    s.compute_call_us = call_ns(s.compute, shape_.band_width, shape_.side) * 1e-3;
    std::vector<double> pattern;
    for (const Pair& pair : pairs_)
        pattern.push_back(pair.copy_seconds[shape_.pattern_copy] * 1e3);
    s.roofs = {compute_ms(s.compute, shape_.band_width, shape_.side, shape_.threads),
               median(pattern)};
    s.model = model_time(s.roofs);
    s.core_ghz = median(ghz);
    s.core_ghz_by_multiplies = median(ghz_by_multiplies);
    s.core_adds_per_ns = median(adds);
    return s;
}
