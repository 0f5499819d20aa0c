// The pass-phrase behind the bridge's password credential, shared by the bridge and the reference
// client. Clients send its MD5 digest as 32 lowercase hexadecimal digits ("878cb5352ea16969bcc216abe85a327b");
// the phrase itself never travels.
#pragma once

#include "base/StringLiteral.h"

constexpr StringLiteral BridgePassPhrase = "Zephrane bridge for X-Plane"_lit;
