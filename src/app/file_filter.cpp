#include "app/file_filter.h"

#include <cstddef>

namespace harlox {

namespace {

std::string_view trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// "Unit files (*.unt)" -> "Unit files"; a trailing group without a wildcard is part of the name.
std::string_view labelWithoutPatterns(std::string_view label) {
    label = trim(label);
    if (label.empty() || label.back() != ')') return label;
    const std::size_t open = label.rfind('(');
    if (open == std::string_view::npos) return label;
    const std::string_view group = label.substr(open);
    if (group.find('*') == std::string_view::npos && group.find('.') == std::string_view::npos) return label;
    return trim(label.substr(0, open));
}

} // namespace

std::vector<FileFilter> parseFilterList(std::string_view list) {
    std::vector<std::string_view> fields;
    while (!list.empty()) {
        const std::size_t bar = list.find('|');
        fields.push_back(list.substr(0, bar));
        if (bar == std::string_view::npos) break;
        list.remove_prefix(bar + 1);
    }
    std::vector<FileFilter> out;
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        FileFilter f;
        f.label = std::string(trim(fields[i]));
        std::string_view pats = fields[i + 1];
        while (true) {
            const std::size_t semi = pats.find(';');
            const std::string_view p = trim(pats.substr(0, semi));
            if (!p.empty()) f.patterns.emplace_back(p);
            if (semi == std::string_view::npos) break;
            pats.remove_prefix(semi + 1);
        }
        if (!f.patterns.empty()) out.push_back(std::move(f));
    }
    return out;
}

std::string convertFilterList(std::string_view list) {
    std::string out;
    for (const FileFilter& f : parseFilterList(list)) {
        std::string pats;
        for (const std::string& p : f.patterns) {
            if (!pats.empty()) pats += ' ';
            pats += p == "*.*" ? std::string("*") : p;
        }
        std::string label(labelWithoutPatterns(f.label));
        if (label.empty()) label = pats;
        if (!out.empty()) out += ";;";
        out += label + " (" + pats + ")";
    }
    return out;
}

std::string withDefaultExtension(std::string_view path, std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    std::string out(path);
    if (extension.empty() || path.empty() || path.back() == '/') return out;
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    // "name.ext" has one; ".hidden" and "name." do not.
    if (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size()) return out;
    if (out.back() != '.') out += '.';
    out += extension;
    return out;
}

} // namespace harlox
