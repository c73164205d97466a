#pragma once
// The render pass: from a SceneParams record and a font, the supersampled frame.
//
// params.width and params.height are the preview's client size; the frame is rendered
// at twice that size into the canvas's FrameLayer. The caller owns the record copy and
// the font; renderFrame runs on one thread and touches nothing else.

#include "Canvas.h"
#include "SceneParams.h"

namespace lumivex {

class SceneFont;

// Makes the seven layers anew at twice width x height (the text layers h rows high).
void rebuildLayers(Canvas& canvas, int width, int height);

// Runs the whole pass; font may be nullptr (no text is drawn then).
void renderFrame(Canvas& canvas, const SceneParams& params, const SceneFont* font);

// The painting steps, in the order renderFrame calls them.
void drawStencilAndRim(Canvas& canvas, const SceneParams& params, const SceneFont* font);
void drawBackground(Canvas& canvas, const SceneParams& params);
void drawGlassBands(Canvas& canvas, const SceneParams& params, const SceneFont* font);
void drawReflection(Canvas& canvas, const SceneParams& params, const SceneFont* font);

// Colours the stencil and rim steps derive from the record.
PackedColor rimColor(PackedColor textColor, PackedColor backgroundTop);
PackedColor stencilColor(PackedColor backgroundBottom);

} // namespace lumivex
