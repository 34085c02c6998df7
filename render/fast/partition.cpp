#include "render/fast/partition.h"

namespace {

std::int32_t boundary(const std::int64_t* keys, std::int32_t count, int part, int parts)
{
    if (part <= 0)
        return 0;
    if (part >= parts)
        return count;
    auto at = static_cast<std::int32_t>(static_cast<std::int64_t>(count) * part / parts);
    while (at > 0 && at < count && keys[at] == keys[at - 1])
        ++at;
    return at;
}

}  // namespace

index_range part_between_keys(const std::int64_t* keys, std::int32_t count, int part, int parts)
{
    return {boundary(keys, count, part, parts), boundary(keys, count, part + 1, parts)};
}
