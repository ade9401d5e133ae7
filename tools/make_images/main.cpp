// vantorel-make-images: writes a synthetic, deterministic set of image files for the bench
// and for trying the station without real firmware.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <string_view>

#include "samples/sample_images.h"

namespace {

constexpr char kUsage[] =
    "usage: vantorel-make-images [--out DIR] [--seed N] [--eboot BYTES] [--large-eboot BYTES]\n"
    "         [--pda BYTES] [--lang BYTES] [--csc BYTES] [--multi-csc BLOCKS,BLOCKS,...]\n"
    "         [--phone BYTES] [--smd BYTES] [--sector BYTES]\n"
    "Writes eboot.eb0, eboot_large.eb0, pda.nb0, pda_lang.nb0, langpack.lan, single.csc,\n"
    "multi.csc, fixed.csc, phone.bin, nand.smd and integrated.img into DIR (default: .).\n";

bool ParseNumber(std::string_view text, uint32_t& value) {
    const std::string copy(text);
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(copy.c_str(), &end, 0);
    if (copy.empty() || *end != '\0' || parsed > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseBlocks(std::string_view text, std::vector<uint32_t>& blocks) {
    blocks.clear();
    std::stringstream list{std::string(text)};
    std::string item;
    while (std::getline(list, item, ',')) {
        uint32_t value = 0;
        if (!ParseNumber(item, value) || value == 0) {
            return false;
        }
        blocks.push_back(value);
    }
    return !blocks.empty();
}

}  // namespace

int main(int argc, char** argv) {
    using vantorel::samples::SampleSizes;
    SampleSizes sizes;
    std::string directory = ".";
    uint32_t seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "-h" || option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (i + 1 >= argc) {
            std::fputs(kUsage, stderr);
            return 2;
        }
        const std::string_view value = argv[++i];
        bool ok = true;
        if (option == "--out") {
            directory = value;
        } else if (option == "--seed") {
            ok = ParseNumber(value, seed);
        } else if (option == "--eboot") {
            ok = ParseNumber(value, sizes.dwEboot);
        } else if (option == "--large-eboot") {
            ok = ParseNumber(value, sizes.dwLargeEboot);
        } else if (option == "--pda") {
            ok = ParseNumber(value, sizes.dwPdaImage);
        } else if (option == "--lang") {
            ok = ParseNumber(value, sizes.dwLangPackData);
        } else if (option == "--csc") {
            ok = ParseNumber(value, sizes.dwCsc);
        } else if (option == "--multi-csc") {
            ok = ParseBlocks(value, sizes.multiCscBlocks);
        } else if (option == "--phone") {
            ok = ParseNumber(value, sizes.dwPhone);
        } else if (option == "--smd") {
            ok = ParseNumber(value, sizes.dwSmd);
        } else if (option == "--sector") {
            ok = ParseNumber(value, sizes.dwPdaSectorSize) && sizes.dwPdaSectorSize > 0;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "vantorel-make-images: bad option %s %s\n%s", argv[i - 1], argv[i],
                         kUsage);
            return 2;
        }
    }
    try {
        const auto set = vantorel::samples::WriteSampleSet(directory, sizes, seed);
        for (const std::string* path :
             {&set.eboot, &set.ebootLarge, &set.pda, &set.pdaWithLang, &set.langPack, &set.csc,
              &set.multiCsc, &set.fixedCsc, &set.phone, &set.smd, &set.img}) {
            std::printf("%s\n", path->c_str());
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vantorel-make-images: %s\n", error.what());
        return 1;
    }
    return 0;
}
