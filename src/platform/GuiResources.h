#pragma once

// The icons are compiled into the static window library, where the linker drops their
// registration because no code refers to it. Each window calls this before using an icon.
void loadGuiResources();
