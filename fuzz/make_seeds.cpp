// Writes the fuzzers' seed corpora: every sample of the test catalogue (support/SampleFiles)
// into OUTDIR/<format> (bmp, tga, pcx, psd, jpg, png) and all of them into OUTDIR/detect, the
// corpus of the target that detects the format itself.
#include "support/SampleFiles.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUTDIR\n");
        return 1;
    }
    static const char* const FOLDERS[] = {"detect", "bmp", "psd", "tga", "pcx", "jpg", "png"};
    const std::filesystem::path root = argv[1];
    for (const fixtures::SampleFile& sample : fixtures::SampleFiles()) {
        for (const char* folder : {FOLDERS[0], FOLDERS[sample.format]}) {
            std::filesystem::create_directories(root / folder);
            std::ofstream out(root / folder / sample.name, std::ios::binary);
            out.write(reinterpret_cast<const char*>(sample.bytes.data()),
                      static_cast<std::streamsize>(sample.bytes.size()));
            if (!out) {
                std::fprintf(stderr, "make_seeds: can't write %s\n", sample.name.c_str());
                return 1;
            }
        }
    }
    return 0;
}
