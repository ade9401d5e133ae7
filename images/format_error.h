#pragma once

namespace vantorel::images {

// Why an image file was refused. Every reader reports one of these instead of trusting a
// length it found in the file.
enum class FormatError {
    kNone,
    kUnreadable,     // a read of a range inside the file failed
    kTooShort,       // the file cannot hold the header it must start with
    kTooLarge,       // a size does not fit the 32-bit words the station works with
    kBadMagic,       // a marker word is wrong
    kLengthPastEnd,  // a size or offset taken from the file reaches past its end
    kCountTooLarge,  // a count taken from the file exceeds its table
    kEmptyTable,     // a table that lists no entry
    kEmptyEntry,     // a table entry of no blocks, which cannot hold a header
};

// A reader's result: the value when `error` is kNone.
template <typename T>
struct Parsed {
    FormatError error = FormatError::kNone;
    T value{};

    explicit operator bool() const { return error == FormatError::kNone; }
};

template <typename T>
Parsed<T> Fail(FormatError error) {
    return Parsed<T>{error, T{}};
}

}  // namespace vantorel::images
