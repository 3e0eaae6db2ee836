#include "app/drawing_target.h"

#include <cctype>
#include <iostream>

namespace {

// X's resource ids have their top three bits clear.
constexpr unsigned long largestWindowId = 0x1FFFFFFFul;

constexpr const char screensaverVariable[] = "XSCREENSAVER_WINDOW";

}  // namespace

std::optional<unsigned long> parseWindowId(const std::string& text) {
    int base = 10;
    std::size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    if (start == text.size()) return std::nullopt;
    unsigned long value = 0;
    for (std::size_t i = start; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool digit = base == 16 ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
        if (!digit) return std::nullopt;
        const unsigned long next =
            std::isdigit(c) ? c - '0' : static_cast<unsigned long>(std::tolower(c) - 'a' + 10);
        // Checked before every step, so no value ever wraps.
        if (value > (largestWindowId - next) / base) return std::nullopt;
        value = value * base + next;
    }
    if (value == 0) return std::nullopt;
    return value;
}

std::optional<DrawingTarget> chooseTarget(bool root, std::optional<unsigned long> windowId,
                                          const char* screensaverWindow) {
    if (windowId) return DrawingTarget{TargetKind::givenWindow, *windowId};
    if (!root) return DrawingTarget{};
    if (screensaverWindow == nullptr || *screensaverWindow == '\0') {
        return DrawingTarget{TargetKind::rootWindow, 0};
    }
    const std::optional<unsigned long> saverId = parseWindowId(screensaverWindow);
    if (!saverId) {
        std::cerr << screensaverVariable << " is \"" << screensaverWindow
                  << "\", which is no window id." << std::endl;
        return std::nullopt;
    }
    return DrawingTarget{TargetKind::givenWindow, *saverId};
}
