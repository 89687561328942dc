// Known vectors for the set's cryptography, shared by the native tests (OpenSSL's libcrypto, in quarnset)
// and the Windows tests (the platform's CNG under Wine), so that both sides are held to the same answers.
// SHA-256: the FIPS 180-2 examples. Signatures: ECDSA P-256 with SHA-256, made once with the OpenSSL
// command line (openssl dgst -sha256 -sign) by a throw-away key of which only the public half is kept
// here, converted from DER to the set's raw form (r then s, 32 bytes each). The last signature has an s
// below 2^248: its raw form begins with a zero byte that a careless conversion drops.
#pragma once
#include <cstddef>

namespace set_crypto_vectors {

struct Sha256Vector {
  const char* name;
  const char* message;  // repeated `repeat` times
  size_t repeat;
  const char* sha256;
};

const Sha256Vector kSha256[] = {
    {"empty", "", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {"abc", "abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
     "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {"a million a", "a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
};

// The public key that made the signatures below, and another one.
const char kPublicKey[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEhhFGefXYsJg961yJ3FwVeFa9hCnj\n"
    "i3GHHpR58mHB5dyBHZ7LGGLfwKdlEDaqgKsJ5jyH0ClyJwvo3VGXuSenvQ==\n"
    "-----END PUBLIC KEY-----\n";
const char kOtherPublicKey[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEjBNohBwofgYiLnSkEVHcUpjjTmmJ\n"
    "6NeJG508O5wHdk7e1YPgOJAW9JDhAf7YGkLBC5nvaHi/LGEk1/Uvdk+Aog==\n"
    "-----END PUBLIC KEY-----\n";

// Public keys of kinds the set does not use: verification must refuse them, not misread them.
const char kRsaPublicKey[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MFwwDQYJKoZIhvcNAQEBBQADSwAwSAJBALsV3Pc/5ONSui4SoIrct1UmerDjD2zx\n"
    "wjiDzdt20Vhp0QHUd/Q8bRfsxNy2x6M96voDOw2+9sk/f+YJz+scEfMCAwEAAQ==\n"
    "-----END PUBLIC KEY-----\n";
const char kP384PublicKey[] =
    "-----BEGIN PUBLIC KEY-----\n"
    "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAE4G82Rtb4S0e/+JqSF9bPhgzHi9h2jlyE\n"
    "fJqGa55cGOVW4rSw9X+shLaL74/AH6UjFADZvXGXGq61O2QmuF9WnDQGRKNQJYcy\n"
    "hltHKMB+YKoEWGBk2TpY3Kx6L/yK8C2q\n"
    "-----END PUBLIC KEY-----\n";

struct SignatureVector {
  const char* name;
  const char* message;
  const char* signature;  // 128 hex digits, r then s
};

const SignatureVector kSignatures[] = {
    {"empty message", "",
     "240e878355d665ea509814cd75b189de481d7bcc33e08d21e3bb68e2b866f879399f800d22a6e44126ed4157611af77b6580bde56d288a5fda8266b6923dbc3e"},
    {"abc", "abc",
     "9d5641a8737854dec2a6f3a26df5192a0bd1a31d876d4e7a6c6e2f761367bd75c0ded5fdad75ba339cf6aa439b600d7ae3fe661a5dd0f4fc212c4b34c6a1f064"},
    {"a Sign.ini text", "[Hashes]\r\nInstall.ini=1052 4075d7e416bbcfe041a62bee35fe295a0e137e4fe4805378135ca7dccce3fb59\r\n",
     "bff2808b62d40d6ae8caaa0c4c493b361d92a37e4df1012072178a4c1fbd6d9d5d6739ab8b3fe955bf2243123394e730091fb2c6d32b54f0993c4c7046547b41"},
    {"s with a leading zero byte", "pad 39",
     "9e7099645da50ef2561337f6e5359c76581cc45e656ade94b65c20b306b862ea00d418dffc948fd737fff54925cc947a5f82e5c57e9e277fb71ecf8947ebab46"},
};

}  // namespace set_crypto_vectors
