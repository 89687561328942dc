// This program's set policy (the maker's public keys, the lowest set sequence accepted), defined once per
// program from the build's configuration in app/set_policy_win.cpp; the worker hands it to the download.
#pragma once
#include "web/set_verify_win.h"

extern const SetPolicy kSetPolicy;
