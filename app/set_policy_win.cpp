// The set policy of this program, from the build's configuration: the maker's public key and whether
// unsigned sets over HTTP are refused. Compiled into each program on its own (not into the library), so
// that a test build can carry the refusal switched on beside the ordinary program.
#include "build_config.h"
#include "web/set_verify_win.h"

#ifndef QUARN_SET_POLICY_REQUIRE_SIGNED
#define QUARN_SET_POLICY_REQUIRE_SIGNED QUARN_REQUIRE_SIGNED_SET
#endif

extern const SetPolicy kSetPolicy = {QUARN_SET_PUBLIC_KEY_PEM, QUARN_SET_POLICY_REQUIRE_SIGNED != 0};
