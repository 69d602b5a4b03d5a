// The seam between TarnGame and what it keeps for the program on the screen: every such thing
// (a picture, a blank surface, and later fonts, sprite sheets and maps) is one resource in the
// game's one list. A switch between window and full screen detaches every resource before the
// old screen goes and remakes it on the new one; a display loss on the same screen redraws
// what the resource can bring back by itself. The program's own drawing comes after, through
// its OnRedraw callback.
#pragma once

class TarnScreen;

/// One thing the game owns that lives on its screen. Private to the game.
class TarnGameResource {
public:
    virtual ~TarnGameResource() = default;

    /// The object the program holds (the surface, the font ...), by which it is found again.
    virtual const void* Handle() const = 0;
    /// Before the screen goes: keeps what it takes to make the resource again and gives back
    /// what lives on the screen. The program's object stays where it is, empty. A resource
    /// already detached (or whose remake failed) keeps what it kept.
    virtual void Detach() = 0;
    /// On a new screen: made again as it was before Detach. 1 on success, else the failure of
    /// the call that made it.
    virtual int Remake(TarnScreen* screen) = 0;
    /// After the display was lost and given back, on the same screen: the resource's memory is
    /// restored and what it can put back by itself is put back.
    virtual void Redraw() = 0;
    /// For the message when Remake fails: what could not be made ...
    virtual const char* What() const = 0;
    /// ... and the name it was made from, or null.
    virtual const char* Name() const = 0;
};
