#pragma once

#include "gui/diagram_renderer.h"

namespace harlox {

class TXover;

// The options hook of the surface window: the colour map of the project's rays over the
// display frequencies. It reads the project at every render, so it follows each
// recalculation and the "Flip up/down" box; the project must outlive the hook.
RenderOptionsHook surfacePlotHook(const TXover& project);

// The overlay window's hook: with "Flip up/down" the curve labels turn round (a ray shown at
// +30 is labelled "-30"); nothing else changes.
RenderOptionsHook overlayPlotHook(const TXover& project);

// The map of the project's shown surface rays as the surface hook adds it.
SurfaceMap surfaceMap(const TXover& project);

} // namespace harlox
