// The PDA reader on files of any length, with or without a pack behind the image.
#include "fuzz/cyclic_source.h"
#include "images/pda_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vantorel::images;
    const MemorySource plain({data, size});
    const vantorel::fuzz::CyclicSource cyclic(data, size);
    for (const ByteSource* source :
         {static_cast<const ByteSource*>(&plain), static_cast<const ByteSource*>(&cyclic)}) {
        const PdaReadResult result = ReadPdaImage(*source);
        if (result) {
            const uint64_t imageEnd = kPdaHeaderSize + uint64_t{result.layout.dwImageSize};
            if (imageEnd > source->Length()) {
                __builtin_trap();
            }
            if (result.layout.pack &&
                imageEnd + kLangPackHeaderSize + result.layout.packDataSize != source->Length()) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
