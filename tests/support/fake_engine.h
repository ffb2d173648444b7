// The engine stand-in under the names the plug-in tests use.
#pragma once

#include "platform/engine_stand_in.h"

namespace testsupport {

using FakeEngine = platform::EngineStandIn;
using platform::ToFixed10;

}  // namespace testsupport
