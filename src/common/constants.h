#pragma once

// The one value of pi the whole program uses: the grid's angle step and the
// camera's key speed. It is deliberately the short 3.14159, not a closer pi.
inline constexpr float pi = 3.14159f;
