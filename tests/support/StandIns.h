#pragma once
// The quiet stand-ins of the main window's services: no server is ever reached, the character
// window is never seen.

#include "character/CharacterWindow.h"
#include "platform/QuietPlatform.h"
