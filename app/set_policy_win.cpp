// The set policy of this program, from the build's configuration: the maker's public keys and the lowest
// set sequence accepted. Compiled into each program on its own (not into the library), so that a test
// build can carry no key beside the ordinary program.
#include "app/set_policy_win.h"

#include "build_config.h"

#ifdef QUARN_SET_POLICY_UNKEYED
extern const SetPolicy kSetPolicy = {"", "", 0};
#else
extern const SetPolicy kSetPolicy = {QUARN_SET_PUBLIC_KEY_PEM, QUARN_SET_NEXT_PUBLIC_KEY_PEM, QUARN_MIN_SET_SEQUENCE_VALUE};
#endif
