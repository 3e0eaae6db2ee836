#pragma once

#include <string>

// Text from the user (an argument, a path) as it goes into a line of the viewer's, with
// control characters such as a newline shown as '?' so that the line stays one line.
inline std::string printable(const std::string& text) {
    std::string line;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    return line;
}
