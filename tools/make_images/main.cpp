// vantorel-make-images: writes a synthetic, deterministic set of image files for the bench
// and for trying the station without real firmware.
#include <cstdio>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "command_line/cli11_command_line.h"
#include "command_line/value_parsers.h"
#include "tools/make_images/sample_images.h"

namespace {

using vantorel::command_line::CommandOption;
using vantorel::command_line::SetsNumber;

constexpr const char* kUsageIntro =
    "usage: vantorel-make-images [--out DIR] [--seed N] [--eboot BYTES] [--large-eboot BYTES]\n"
    "         [--pda BYTES] [--lang BYTES] [--csc BYTES] [--multi-csc BLOCKS,BLOCKS,...]\n"
    "         [--phone BYTES] [--smd BYTES] [--sector BYTES]\n"
    "Writes eboot.eb0, eboot_large.eb0, pda.nb0, pda_lang.nb0, langpack.lan, single.csc,\n"
    "multi.csc, fixed.csc, phone.bin, nand.smd and integrated.img into DIR (default: .).\n";

constexpr size_t kHelpColumn = 31;

struct Arguments {
    vantorel::tools::SampleSizes sizes;
    std::string directory = ".";
    uint32_t seed = 1;
    bool bHelp = false;
};

bool ParseBlocks(const std::string& text, std::vector<uint32_t>& blocks) {
    blocks.clear();
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        uint32_t value = 0;
        if (!vantorel::command_line::ParseNumber(item, value) || value == 0) {
            return false;
        }
        blocks.push_back(value);
    }
    return !blocks.empty();
}

std::vector<CommandOption> Options(Arguments& args) {
    vantorel::tools::SampleSizes& sizes = args.sizes;
    return {
        {"--out", "DIR", "the folder to write the set into (.)",
         [&args](const std::string& value) {
             args.directory = value;
             return vantorel::command_line::RefusedUnless(!value.empty());
         }},
        {"--seed", "N", "the seed of the files' bytes (1)", SetsNumber(args.seed)},
        {"--eboot", "BYTES", "eboot.eb0's size", SetsNumber(sizes.dwEboot)},
        {"--large-eboot", "BYTES", "eboot_large.eb0's, over the large boot loader limit",
         SetsNumber(sizes.dwLargeEboot)},
        {"--pda", "BYTES", "the PDA image's, without its header", SetsNumber(sizes.dwPdaImage)},
        {"--lang", "BYTES", "the language pack's, without its header",
         SetsNumber(sizes.dwLangPackData)},
        {"--csc", "BYTES", "single.csc's", SetsNumber(sizes.dwCsc)},
        {"--phone", "BYTES", "phone.bin's", SetsNumber(sizes.dwPhone)},
        {"--smd", "BYTES", "nand.smd's", SetsNumber(sizes.dwSmd)},
        {"--multi-csc", "BLOCKS,BLOCKS,...", "the entries of multi.csc, in blocks of 0x20000",
         [&sizes](const std::string& value) {
             return vantorel::command_line::RefusedUnless(ParseBlocks(value, sizes.multiCscBlocks));
         }},
        {"--sector", "BYTES", "the RAM sector size of the PDA image's last-turn check",
         SetsNumber(sizes.dwPdaSectorSize, true)},
        vantorel::command_line::HelpOption(args.bHelp),
    };
}

}  // namespace

int main(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!vantorel::command_line::ParseWithCli11(
            Options(args), std::vector<std::string>(argv + 1, argv + argc), error)) {
        return vantorel::command_line::RefuseCommandLine("vantorel-make-images", error);
    }
    if (args.bHelp) {
        Arguments unused;
        std::fputs(kUsageIntro, stdout);
        std::fputs(vantorel::command_line::FormatOptions(Options(unused), kHelpColumn).c_str(),
                   stdout);
        return 0;
    }
    try {
        const auto set = vantorel::tools::WriteSampleSet(args.directory, args.sizes, args.seed);
        for (const std::string* path :
             {&set.eboot, &set.ebootLarge, &set.pda, &set.pdaWithLang, &set.langPack, &set.csc,
              &set.multiCsc, &set.fixedCsc, &set.phone, &set.smd, &set.img}) {
            std::printf("%s\n", path->c_str());
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "vantorel-make-images: %s\n", failure.what());
        return 1;
    }
    return 0;
}
