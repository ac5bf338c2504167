#pragma once

#include <thread>

// Where fonts come from fontconfig, reading its configuration is the largest single part of
// putting up a window, and it needs nothing of the toolkit's. Started before the toolkit, it
// runs while the toolkit starts; the returned thread must be joined before any font is used.
std::jthread loadFontConfiguration();
