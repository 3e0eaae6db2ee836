#include "app/command_line.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "app/drawing_target.h"
#include "app/printable.h"

namespace {

constexpr const char* programName = "quillmere";
constexpr const char* helpHint = "; see \"quillmere --help\".";

// Records an option in `options`, with its value where it takes one; returns what was
// wrong with the value, or nothing.
using ApplyOption = std::string (*)(Options& options, const std::string& value);

// One row per option: parsing and --help both read this table, so an option added here is
// understood and listed alike.
struct OptionRule {
    const char* name;
    // Null for an option that takes no value.
    const char* valueName;
    // The lines --help gives it, the first beside its name.
    std::vector<const char*> description;
    ApplyOption apply;
};

// The seed the clock gives is time() cut to the random generator's 32 bits, so any such
// number is a seed, and nothing else is.
constexpr std::uint32_t largestSeed = std::numeric_limits<std::uint32_t>::max();

std::optional<std::uint32_t> parseSeed(const std::string& text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
        if (value > largestSeed) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string quoted(const std::string& argument) {
    return "\"" + printable(argument) + "\"";
}

std::string applySeed(Options& options, const std::string& value) {
    options.seed = parseSeed(value);
    if (options.seed) return {};
    return "--seed needs a whole number from 0 to " + std::to_string(largestSeed) + ", not " +
           quoted(value);
}

// The options that take no value only switch a flag on.
template <bool Options::*flag>
std::string setFlag(Options& options, const std::string&) {
    options.*flag = true;
    return {};
}

std::string applyWindowId(Options& options, const std::string& value) {
    options.windowId = parseWindowId(value);
    if (options.windowId) return {};
    return "--window-id needs a window id, decimal or hexadecimal after 0x, not " + quoted(value);
}

const std::vector<OptionRule>& optionRules() {
    static const std::vector<OptionRule> rules = {
        {"--seed",
         "N",
         {"show the globe of seed N, from 0 to 4294967295, the one a",
          "start at second N since 1970 (UTC) shows; the default is", "the clock's second"},
         applySeed},
        {"--window",
         nullptr,
         {"open a normal 1280 x 720 window instead of covering the screen"},
         setFlag<&Options::window>},
        {"--root",
         nullptr,
         {"as a screensaver, draw on the root window (or on the one",
          "XSCREENSAVER_WINDOW names): silent, turning by itself, no keys"},
         setFlag<&Options::root>},
        {"--window-id",
         "ID",
         {"as a screensaver, draw into the window ID (decimal, or", "hexadecimal after 0x)"},
         applyWindowId},
        {"--help", nullptr, {"show this help and end"}, setFlag<&Options::help>},
        {"--version", nullptr, {"show the version and end"}, setFlag<&Options::version>},
    };
    return rules;
}

const OptionRule* findRule(const std::string& name) {
    for (const OptionRule& rule : optionRules()) {
        if (name == rule.name) return &rule;
    }
    return nullptr;
}

constexpr const char* keysText =
    "Keys:\n"
    "  Left, Right   spin the globe while the key is held\n"
    "  Up, Down      tilt the globe while the key is held\n"
    "  mouse wheel   move the eye nearer (up) or further (down)\n"
    "  S             save the view as quillmere-SEED.png in the pictures folder\n"
    "No key quits: close the window through the desktop, for example with Alt+F4.\n";

// Two spaces between the longest option and the descriptions.
constexpr std::size_t descriptionGap = 2;

std::string optionColumn(const OptionRule& rule) {
    std::string column = std::string("  ") + rule.name;
    if (rule.valueName != nullptr) column += std::string(" ") + rule.valueName;
    return column;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    for (std::size_t next = 0; next < arguments.size();) {
        const std::string& argument = arguments[next++];
        const std::size_t equals = argument.find('=');
        const bool joinedValue = argument.rfind("--", 0) == 0 && equals != std::string::npos;
        const std::string name = joinedValue ? argument.substr(0, equals) : argument;
        const OptionRule* rule = findRule(name);
        if (rule == nullptr) {
            const bool looksLikeOption = !argument.empty() && argument[0] == '-';
            parsed.error = std::string(programName) + ": " +
                           (looksLikeOption ? "unknown option " : "unexpected argument ") +
                           quoted(joinedValue && looksLikeOption ? name : argument) + helpHint;
            return parsed;
        }
        std::string value;
        if (rule->valueName == nullptr && joinedValue) {
            parsed.error =
                std::string(programName) + ": " + rule->name + " takes no value" + helpHint;
            return parsed;
        }
        if (rule->valueName != nullptr) {
            if (joinedValue) {
                value = argument.substr(equals + 1);
            } else if (next < arguments.size()) {
                value = arguments[next++];
            } else {
                parsed.error = std::string(programName) + ": " + rule->name + " needs a value " +
                               rule->valueName + helpHint;
                return parsed;
            }
        }
        const std::string wrong = rule->apply(parsed.options, value);
        if (!wrong.empty()) {
            parsed.error = std::string(programName) + ": " + wrong + helpHint;
            return parsed;
        }
    }
    return parsed;
}

std::string helpText() {
    std::string text = std::string("Usage: ") + programName +
                       " [OPTION]...\n"
                       "Builds a new random globe and shows it fullscreen to a mellow beat.\n"
                       "\n"
                       "Options:\n";
    std::size_t descriptionColumn = 0;
    for (const OptionRule& rule : optionRules()) {
        descriptionColumn = std::max(descriptionColumn, optionColumn(rule).size() + descriptionGap);
    }
    for (const OptionRule& rule : optionRules()) {
        std::string left = optionColumn(rule);
        for (const char* line : rule.description) {
            left.resize(descriptionColumn, ' ');
            text += left + line + "\n";
            left.clear();
        }
    }
    return text + "\n" + keysText;
}

std::string versionText() {
    return std::string(programName) + " " + QUILLMERE_VERSION + "\n";
}
