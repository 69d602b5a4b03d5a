/* The smallest SDL2 program that shows what the demo shows: the picture file named on the command
 * line (a BMP, the demo's landskap.bmp) in 5-6-5, full screen on the desktop, uploaded every frame
 * through one streaming RGB565 texture and presented with the vsync the renderer gives, until
 * Escape or a close. It is the peer of the demo's peak memory (bench/memory.sh), as the frame
 * benchmark's in-process peer is of its time. Exit code 0 after Escape, 1 when something fails. */
#include <SDL.h>

#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s PICTURE.bmp\n", argv[0]);
        return 1;
    }
    /* A very busy display server may refuse the first connection: a few tries a moment apart,
     * as the SDL2 host makes them. */
    int video = SDL_Init(SDL_INIT_VIDEO);
    for (int attempt = 1; video != 0 && attempt < 5; ++attempt) {
        SDL_Delay(200);
        video = SDL_Init(SDL_INIT_VIDEO);
    }
    if (video != 0) {
        fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Surface* loaded = SDL_LoadBMP(argv[1]);
    SDL_Surface* frame =
        loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB565, 0) : NULL;
    SDL_Window* window = frame ? SDL_CreateWindow("MinimalFrame", 0, 0, frame->w, frame->h,
                                                  SDL_WINDOW_FULLSCREEN_DESKTOP)
                               : NULL;
    SDL_Renderer* renderer =
        window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC) : NULL;
    SDL_Texture* texture = renderer
                               ? SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB565,
                                                   SDL_TEXTUREACCESS_STREAMING, frame->w, frame->h)
                               : NULL;
    if (!texture) {
        fprintf(stderr, "cannot show %s: %s\n", argv[1], SDL_GetError());
        return 1;
    }
    SDL_RenderSetLogicalSize(renderer, frame->w, frame->h);
    int running = 1, code = 1;
    while (running) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == SDL_QUIT) running = 0;
            if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_ESCAPE) running = code = 0;
        }
        SDL_UpdateTexture(texture, NULL, frame->pixels, frame->pitch);
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture, NULL, NULL);
        SDL_RenderPresent(renderer);
    }
    SDL_DestroyTexture(texture);
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_FreeSurface(frame);
    SDL_FreeSurface(loaded);
    SDL_Quit();
    return code;
}
