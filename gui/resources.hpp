#pragma once

namespace brisko::gui {

// Registers the window's icons (they live in a static library, so the
// program must ask for them once before the first window).
void InitResources();

}  // namespace brisko::gui
