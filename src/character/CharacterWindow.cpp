#include "character/CharacterWindow.h"
