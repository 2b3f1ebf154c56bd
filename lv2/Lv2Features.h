#pragma once

// Any thread; never allocates.

#include <lv2/core/lv2.h>

#include <cstring>

namespace Lv2
{
/** The data of the host's feature with this URI, or null when it offers none. */
inline void* findFeature (const LV2_Feature* const* features, const char* uri) noexcept
{
    for (auto* f = features; f != nullptr && *f != nullptr; ++f)
        if ((*f)->URI != nullptr && std::strcmp ((*f)->URI, uri) == 0)
            return (*f)->data;

    return nullptr;
}
} // namespace Lv2
