#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include "PropertyList.h"

// Property-list values built from fuzz input, for the fuzzers of everything
// that takes a settings dictionary: the record, and the agent through the
// pane's notification.

// Any value, nested up to a few levels; dictionary keys are often the ones
// the settings record reads, so that most values reach its code paths.
platform::PropertyList BuildValue(FuzzedDataProvider& input, int depth);
platform::PropertyList BuildDictionary(FuzzedDataProvider& input, int depth);

// The dictionary form of a default record with some entries replaced, most
// often by mapping lists of the right length with fuzzed ids and macro keys.
platform::PropertyList BuildSettingsLikeDictionary(FuzzedDataProvider& input);
