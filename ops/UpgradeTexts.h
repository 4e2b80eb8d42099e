#pragma once
// What the operator reads when a firmware upgrade is refused or stops: one
// sentence per failure of the upgrade session, naming the file, the record
// or chunk and the reason. Plain text, without any window, so that every
// front end says the same.
#include <string>

#include "protocol/UpgradeSession.h"

std::string UpgradeErrorText(const SUpgradeError& error);
