#pragma once

#include "base/sha256.h"

namespace vantorel::emulator {

// What the flash record keeps of a flashed image: its SHA-256, the value `sha256sum` prints
// for the image file.
using Sha256Digest = vantorel::Sha256Digest;
using FlashDigest = vantorel::Sha256;

}  // namespace vantorel::emulator
