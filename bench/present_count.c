/* A preloaded library for the idle measurement (bench/idle.sh): counts the frames a program
 * presents through SDL2 into an 8-byte file named by TARN_PRESENT_COUNT, which the script reads
 * while the program runs. The program itself is not changed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

typedef struct SDL_Renderer SDL_Renderer;

static volatile uint64_t* g_count;
static void (*g_present)(SDL_Renderer*);

__attribute__((constructor)) static void OpenCounter(void) {
    const char* path = getenv("TARN_PRESENT_COUNT");
    if (!path || !*path) return;
    int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    if (ftruncate(fd, sizeof(uint64_t)) == 0) {
        void* p = mmap(NULL, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED) g_count = p;
    }
    close(fd);
}

void SDL_RenderPresent(SDL_Renderer* renderer) {
    if (!g_present) g_present = (void (*)(SDL_Renderer*))dlsym(RTLD_NEXT, "SDL_RenderPresent");
    if (g_count) ++*g_count;
    if (g_present) g_present(renderer);
}
