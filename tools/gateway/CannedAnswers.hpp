#pragma once

#include <map>
#include <string>

#include "gateway/ScriptedAnswer.hpp"

namespace mvk::gateway {

/// Minimal good answers of the seven gateway endpoints, by path; the times in
/// them are taken when this is called.
std::map<std::string, ScriptedAnswer> cannedAnswers();

}  // namespace mvk::gateway
