#include "settings/DatabaseConnection.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace brisolant {

namespace {

bool IsUri(std::string_view text) {
    return text.starts_with("postgresql://") || text.starts_with("postgres://");
}

// One "keyword = value" pair of a connection string, as written.
struct Pair {
    std::string_view keyword;
    std::string_view text;  // the whole pair, for writing it back
};

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The pairs of a keyword/value connection string: values may be quoted in '...' with \' and \\.
std::vector<Pair> Pairs(std::string_view text) {
    std::vector<Pair> pairs;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsSpace(text[at])) {
            ++at;
        }
        const std::size_t start = at;
        while (at < text.size() && text[at] != '=' && !IsSpace(text[at])) {
            ++at;
        }
        const std::string_view keyword = text.substr(start, at - start);
        while (at < text.size() && IsSpace(text[at])) {
            ++at;
        }
        if (at < text.size() && text[at] == '=') {
            ++at;
            while (at < text.size() && IsSpace(text[at])) {
                ++at;
            }
            if (at < text.size() && text[at] == '\'') {
                for (++at; at < text.size() && text[at] != '\''; ++at) {
                    at += text[at] == '\\' ? 1 : 0;
                }
                ++at;
            } else {
                while (at < text.size() && !IsSpace(text[at])) {
                    at += text[at] == '\\' ? 2 : 1;
                }
            }
        }
        at = std::min(at, text.size());
        if (!keyword.empty()) {
            pairs.push_back({keyword, text.substr(start, at - start)});
        }
    }
    return pairs;
}

// The URI's user information ("user:secret") and query ("a=1&password=x") spans.
struct UriParts {
    std::size_t passwordStart = 0;  // of ":secret" before '@'; 0 for none
    std::size_t passwordEnd = 0;
    std::size_t query = std::string_view::npos;
};

UriParts SplitUri(std::string_view uri) {
    UriParts parts;
    const std::size_t authority = uri.find("://") + 3;
    const std::size_t authorityEnd = std::min(uri.find('/', authority), uri.find('?', authority));
    const std::size_t at = uri.substr(0, authorityEnd).rfind('@');
    if (at != std::string_view::npos && at >= authority) {
        const std::size_t colon = uri.substr(0, at).find(':', authority);
        if (colon != std::string_view::npos) {
            parts.passwordStart = colon;
            parts.passwordEnd = at;
        }
    }
    parts.query = uri.find('?', authority);
    return parts;
}

std::vector<std::string_view> QueryParameters(std::string_view query) {
    std::vector<std::string_view> parameters;
    std::size_t at = 0;
    while (at <= query.size()) {
        const std::size_t end = std::min(query.find('&', at), query.size());
        if (end > at) {
            parameters.push_back(query.substr(at, end - at));
        }
        at = end + 1;
    }
    return parameters;
}

}  // namespace

bool HoldsPassword(std::string_view connection) {
    return WithoutPassword(connection) != connection;
}

std::string WithoutPassword(std::string_view connection) {
    std::string result;
    if (!IsUri(connection)) {
        bool found = false;
        for (const Pair& pair : Pairs(connection)) {
            if (pair.keyword == "password") {
                found = true;
            } else {
                result += (result.empty() ? "" : " ") + std::string(pair.text);
            }
        }
        return found ? result : std::string(connection);
    }
    const UriParts parts = SplitUri(connection);
    const std::string_view base = connection.substr(0, parts.query);
    if (parts.passwordEnd > 0) {
        result = std::string(base.substr(0, parts.passwordStart)) +
                 std::string(base.substr(parts.passwordEnd));
    } else {
        result = base;
    }
    if (parts.query == std::string_view::npos) {
        return result;
    }
    std::string query;
    for (const std::string_view parameter : QueryParameters(connection.substr(parts.query + 1))) {
        if (!parameter.starts_with("password=")) {
            query += (query.empty() ? "?" : "&") + std::string(parameter);
        }
    }
    return result + query;
}

}  // namespace brisolant
