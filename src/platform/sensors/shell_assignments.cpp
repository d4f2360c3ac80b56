#include "platform/sensors/shell_assignments.h"

#include <optional>

namespace corvanta::platform {

namespace {

bool isKeyStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isKeyChar(char c) {
    return isKeyStart(c) || (c >= '0' && c <= '9');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The value after '=', unquoted; nullopt when a quote is left open.
std::optional<std::string> unquoted(std::string_view raw) {
    while (!raw.empty() && isBlank(raw.back())) {
        raw.remove_suffix(1);
    }
    std::string value;
    std::size_t i = 0;
    while (i < raw.size()) {
        const char c = raw[i];
        if (c == '\'') {
            const auto close = raw.find('\'', i + 1);
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            value.append(raw.substr(i + 1, close - i - 1));
            i = close + 1;
        } else if (c == '"') {
            ++i;
            bool closed = false;
            while (i < raw.size()) {
                const char d = raw[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                // Inside double quotes a backslash only escapes the characters the shell
                // treats specially there; before anything else it stays.
                if (d == '\\' && i + 1 < raw.size() &&
                    std::string_view("\"\\$`").find(raw[i + 1]) != std::string_view::npos) {
                    value.push_back(raw[i + 1]);
                    i += 2;
                    continue;
                }
                value.push_back(d);
                ++i;
            }
            if (!closed) {
                return std::nullopt;
            }
        } else if (c == '\\' && i + 1 < raw.size()) {
            value.push_back(raw[i + 1]);
            i += 2;
        } else {
            value.push_back(c);
            ++i;
        }
    }
    return value;
}

}  // namespace

ShellAssignments parseShellAssignments(std::string_view text) {
    ShellAssignments result;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);

        while (!line.empty() && isBlank(line.front())) {
            line.remove_prefix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0 || !isKeyStart(line.front())) {
            continue;
        }
        const std::string_view key = line.substr(0, eq);
        bool validKey = true;
        for (const char c : key) {
            validKey = validKey && isKeyChar(c);
        }
        if (!validKey) {
            continue;
        }
        if (auto value = unquoted(line.substr(eq + 1))) {
            result.insert_or_assign(std::string(key), std::move(*value));
        }
    }
    return result;
}

}  // namespace corvanta::platform
