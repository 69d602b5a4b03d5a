// The game's first two kinds of resource: a picture loaded from a file and a blank surface the
// program draws into. Both keep across a switch their colour key (as a colour, since the new
// screen may have another format), their alpha plane, byte for byte, and their clip area.
#pragma once

#include <memory>

#include "game/internal/TarnGameResource.h"

class TarnSurface;

/// A resource for `surface` (taken over: the resource deletes it), made from the picture file
/// the surface was loaded from.
std::unique_ptr<TarnGameResource> TarnGamePicture(TarnSurface* surface);
/// A resource for the blank surface `surface` (taken over), made again blank at its size.
std::unique_ptr<TarnGameResource> TarnGameBlankSurface(TarnSurface* surface);
