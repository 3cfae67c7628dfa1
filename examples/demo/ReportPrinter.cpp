#include "ReportPrinter.hpp"

#include <cstdio>
#include <functional>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "Console.hpp"

namespace demo {

namespace {

using nlohmann::json;

constexpr int kMaxDepth = 64;

json parseBody(const std::string& body) {
    return json::parse(body, nullptr, false);
}

std::string compact(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

/// Pretty JSON, except that the elements of an "events" array stay on one
/// line each: a report holds dozens of events and reads better that way.
void appendPretty(const json& value, const std::string& indent, bool compactElements, int depth,
                  std::string& out) {
    if (depth > kMaxDepth || (!value.is_object() && !value.is_array()) || value.empty()) {
        out += compact(value);
        return;
    }
    const std::string inner = indent + "  ";
    const bool object = value.is_object();
    out += object ? "{\n" : "[\n";
    bool first = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
        out += first ? "" : ",\n";
        first = false;
        out += inner;
        if (object) {
            out += compact(it.key()) + ": ";
            appendPretty(*it, inner, it.key() == "events", depth + 1, out);
        } else if (compactElements) {
            out += compact(*it);
        } else {
            appendPretty(*it, inner, false, depth + 1, out);
        }
    }
    out += "\n" + indent + (object ? "}" : "]");
}

/// Calls `visit` with every event of a report body.
void forEachEvent(const json& body, const std::function<void(const json&)>& visit) {
    if (!body.is_object() || !body.contains("reports") || !body["reports"].is_array()) {
        return;
    }
    for (const auto& report : body["reports"]) {
        if (!report.is_object() || !report.contains("packages") || !report["packages"].is_array()) {
            continue;
        }
        for (const auto& package : report["packages"]) {
            if (!package.is_object() || !package.contains("events") ||
                !package["events"].is_array()) {
                continue;
            }
            for (const auto& event : package["events"]) {
                visit(event);
            }
        }
    }
}

std::string codeOf(const json& event) {
    if (event.is_object() && event.contains("code") && event["code"].is_string()) {
        return event["code"].get<std::string>();
    }
    return "?";
}

bool isTagged(const json& event) {
    return event.is_object() && event.contains("inExperiments");
}

}  // namespace

void printRequestList(const std::vector<mvk::gateway::RecordedRequest>& requests) {
    for (const auto& request : requests) {
        say("  " + request.method + " " + request.path +
            (request.query.empty() ? "" : "?" + request.query) + "  (" +
            std::to_string(request.body.size()) + " bytes)");
    }
}

void printReportBodies(const std::vector<mvk::gateway::RecordedRequest>& reports) {
    int number = 0;
    for (const auto& request : reports) {
        say("\n  report request " + std::to_string(++number) + " of " +
            std::to_string(reports.size()) + ":");
        const auto body = parseBody(request.body);
        if (body.is_discarded()) {
            say("  (not JSON) " + request.body);
            continue;
        }
        std::string text;
        appendPretty(body, "  ", false, 0, text);
        say("  " + text);
    }
}

int printEventCounts(const std::vector<mvk::gateway::RecordedRequest>& reports) {
    struct Count {
        int events = 0;
        int tagged = 0;
    };
    std::map<std::string, Count> counts;
    int total = 0;
    for (const auto& request : reports) {
        forEachEvent(parseBody(request.body), [&](const json& event) {
            auto& count = counts[codeOf(event)];
            ++count.events;
            count.tagged += isTagged(event) ? 1 : 0;
            ++total;
        });
    }
    say("  code   events   with inExperiments");
    for (const auto& [code, count] : counts) {
        char line[96];
        std::snprintf(line, sizeof line, "  %-6s %6d   %6d", code.c_str(), count.events,
                      count.tagged);
        say(line);
    }
    say("  total  " + std::to_string(total));
    return total;
}

int countTaggedEvents(const std::vector<mvk::gateway::RecordedRequest>& reports) {
    int tagged = 0;
    for (const auto& request : reports) {
        forEachEvent(parseBody(request.body),
                     [&](const json& event) { tagged += isTagged(event) ? 1 : 0; });
    }
    return tagged;
}

}  // namespace demo
