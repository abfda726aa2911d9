// Both VST 2.4 headers come from the one mended declaration set.
#pragma once
#include "aeffectx.h"
