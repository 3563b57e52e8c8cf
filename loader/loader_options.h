// What the host's options object says to the loader: Edge-view mode and the release-channel properties.
#pragma once

#include "loader/loader_settings.h"

#include <unknwn.h>

// True only when the options object has the Edge-view interface and it answers exactly 1.
bool ReadEdgeViewOption(IUnknown* environmentOptions) noexcept;

// Fills the channel search kind and the release channels from the options object, each only when no
// environment variable or policy value set it before.
void ReadOptionsChannelSettings(IUnknown* environmentOptions, LoaderSettings& settings) noexcept;
