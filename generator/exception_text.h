// The text of the noise exception being handled.
#pragma once

#include <string>

namespace duneforge {

// One line describing the exception being handled (call it inside a catch
// block): its message when it carries one, else its kind.
std::string DescribeCurrentException();

// Rethrows the exception being handled with `context` in front of its text,
// keeping its kind, so the one line main prints says where it happened.
[[noreturn]] void RethrowInContext(const std::string& context);

}  // namespace duneforge
