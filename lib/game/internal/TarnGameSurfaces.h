// The game's kinds of resource: a picture loaded from a file and a blank surface the program
// draws into, both of which keep across a switch their colour key (as a colour, since the new
// screen may have another format), their alpha plane, byte for byte, and their clip area; a
// sprite sheet cut from such a picture; and a map with its tilesets' pictures.
#pragma once

#include <windows.h>

#include <memory>

#include "game/internal/TarnGameResource.h"

class TarnMap;
class TarnSpriteSheet;
class TarnSurface;

/// A resource for `surface` (taken over: the resource deletes it), made from the picture file
/// the surface was loaded from.
std::unique_ptr<TarnGameResource> TarnGamePicture(TarnSurface* surface);
/// A resource for the blank surface `surface` (taken over), made again blank at its size.
std::unique_ptr<TarnGameResource> TarnGameBlankSurface(TarnSurface* surface);
/// A resource for `sheet` (taken over) cut from the picture of resource `picture` (made by
/// TarnGamePicture): the picture is made again, the sheet's frames stay.
std::unique_ptr<TarnGameResource> TarnGameSheet(TarnSpriteSheet* sheet,
                                                std::unique_ptr<TarnGameResource> picture);
/// A resource for the loaded map `map` (taken over) read from `fileName`, whose pictures are
/// loaded again with `placement` on a new screen and restored after a display loss.
std::unique_ptr<TarnGameResource> TarnGameMap(TarnMap* map, const char* fileName, BYTE placement);
