#pragma once

#include <string>
#include <vector>

#include "gateway/RecordedRequest.hpp"

namespace demo {

/// One line per request: method, path and body size.
void printRequestList(const std::vector<mvk::gateway::RecordedRequest>& requests);

/// Each report body as indented JSON, every event compact on its own line so
/// a session reads from top to bottom.
void printReportBodies(const std::vector<mvk::gateway::RecordedRequest>& reports);

/// How many events of each code the reports carried, and how many of them
/// were tagged with an experiment. Answers the total number of events.
int printEventCounts(const std::vector<mvk::gateway::RecordedRequest>& reports);

/// How many events of the reports carry "inExperiments".
int countTaggedEvents(const std::vector<mvk::gateway::RecordedRequest>& reports);

}  // namespace demo
