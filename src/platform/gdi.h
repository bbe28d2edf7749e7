// The device layer's drawing interface: device contexts, bitmaps, pens, brushes, fonts, text,
// blits, icons and image lists.
#pragma once

#include "platform/gdi/gdi_api.h"
#include "platform/gdi/gdi_layer.h"
#include "platform/gdi/gdi_types.h"
