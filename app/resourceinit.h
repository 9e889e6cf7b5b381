#pragma once

// Registers the compiled-in resources (help pages, pictures). Resources linked from a static
// library are not registered by themselves.
void kelvorInitResources();
